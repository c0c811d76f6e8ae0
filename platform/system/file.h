// File attributes and environment expansion with the values and rules of the system the modules
// were designed for.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/export.h"

namespace sys {

inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
inline constexpr uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kFileAttributeArchive = 0x20;

// kInvalidFileAttributes when the path does not exist or cannot be examined. A directory has
// kFileAttributeDirectory; any other file kFileAttributeArchive, the attribute a freshly written
// file carries there. kFileAttributeReadOnly is added when nobody has write permission.
// Symbolic links are followed.
PLENWISE_API uint32_t GetFileAttributes(const std::string& path);

// Replaces every %NAME% by the value of the environment variable NAME. A name that is not set
// (or empty, as in "%%") is kept as written, percent signs included, and scanning goes on after
// its closing '%'; a '%' without a closing one is kept with the rest of the text. Names match
// exactly first, then ignoring ASCII case, as they do on the system the modules come from.
PLENWISE_API std::string ExpandEnvironmentStrings(const std::string& text);

// The user's home folder: $HOME, else the password database's entry, else "/".
PLENWISE_API std::string HomeDirectory();

// $<variable> when it is an absolute path, otherwise ~/<fallback>, as the XDG base directory
// rules say (a relative value is ignored).
PLENWISE_API std::string XdgBaseDirectory(const char* variable, const char* fallback);

// A file descriptor closed on every path; Close() closes it early, so that a failing close is
// seen.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

// A file opened for reading, only when it is an existing regular file: opening never blocks on a
// FIFO or device named in its place, and a directory is no file.
class PLENWISE_API InputFile {
  public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // The size when it was opened.
    uint64_t Size() const { return size_; }
    // Reads from `offset` until `length` bytes are in or the file ends; the count read.
    std::size_t ReadAt(uint64_t offset, void* buffer, std::size_t length) const;
    // Up to `length` bytes from `offset`, fewer where the file ends.
    std::vector<uint8_t> ReadAt(uint64_t offset, std::size_t length) const;

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace sys
