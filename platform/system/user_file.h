// Writing the files the program keeps for the operator (the driver's user configurations, settings
// files, the registry hives, the service log) so that after any fault each is the old file or
// the new one, never a mix, and every failure is told with its reason (docs/user-files.md).
//
// The system calls go through a seam: the real one by default, a fault-injecting one in tests,
// installed for the whole process as the clock is.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/export.h"

namespace sys {

// The calls a write of a user file makes; each returns what the system call returns and sets
// errno as it does.
class PLENWISE_API FileCalls {
  public:
    virtual ~FileCalls() = default;
    virtual int Open(const char* path, int flags, mode_t mode);
    virtual ssize_t Write(int fd, const void* data, std::size_t size);
    virtual int Fsync(int fd);
    virtual int Close(int fd);
    virtual int Rename(const char* from, const char* to);
    virtual int Ftruncate(int fd, off_t size);
};

// The process-wide calls; a test installs its own (nullptr puts the real ones back).
PLENWISE_API FileCalls& CurrentFileCalls();
PLENWISE_API void SetCurrentFileCalls(FileCalls* calls);

struct ReplaceOptions {
    // A path that is a symbolic link: written through to the file it names (a hive kept with the
    // dotfiles elsewhere, a settings file the operator chose), or refused where a link could
    // redirect the write into a file nobody named (the driver's user configuration).
    bool followLink = true;
    // Keep a file that already stands at the path, and report success (a default seeded once).
    bool keepExisting = false;
    // The mode of a new file, before the umask; a replaced file keeps its own.
    mode_t newMode = 0666;
};

// Replaces the file at `path` by `content`: written whole to `<file>.tmp-<pid>-<n>` in the same
// folder, flushed, renamed over the file, then the folder flushed. Leftovers of writers that were
// killed (`<file>.tmp-<pid>-<n>` of a process that is gone, `<file>.new`) are removed first.
// True when the file holds `content`; false, with the reason in `error`, when the old file (or
// none) is left. A failing flush of the folder after the rename is not a failure: the new file is
// in place, only its survival of a power cut is less sure.
PLENWISE_API bool ReplaceUserFile(const std::string& path, std::string_view content,
                                  const ReplaceOptions& options, std::string* error = nullptr);

// Appends `line` (with its line feed) to the log at `path` as one write, under an exclusive flock
// on the log, creating it with mode 0600 and its folders with MakeUserFolders. A link or anything
// but a regular file at the path is refused. When the last line of the log lacks its line feed
// (a writer killed mid-line), the line starts on a line of its own. A short write is cut off
// again, so that the log is as before. False, with the reason in `error`, when not appended.
PLENWISE_API bool AppendUserFileLine(const std::string& path, std::string_view line,
                                     std::string* error = nullptr);

// Creates the missing folders of `folder` with mode 0700, as folders of the user's own data
// should be. True when it is a folder afterwards; false with the reason otherwise.
PLENWISE_API bool MakeUserFolders(const std::string& folder, std::string* error = nullptr);

// An advisory lock on `<path>.lock`, the lock file beside a user file, that serialises the
// writers of that file in every process; held until destroyed. The lock file is opened without
// following a link (a link there is refused) and created when missing; a shared lock is taken
// on a lock file that cannot be created or written, so that readers still work in read-only
// places. A writer holds the lock only while it writes: one that holds it for longer than
// `waitMs` is stuck, and the lock is not taken.
class PLENWISE_API UserFileLock {
  public:
    enum class Kind { Exclusive, Shared };
    static constexpr uint32_t kWaitMs = 10000;
    explicit UserFileLock(const std::string& path, Kind kind = Kind::Exclusive,
                          uint32_t waitMs = kWaitMs);
    ~UserFileLock();
    UserFileLock(const UserFileLock&) = delete;
    UserFileLock& operator=(const UserFileLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    // Why the lock is not held.
    const std::string& Error() const { return error_; }

  private:
    int fd_ = -1;
    std::string error_;
};

// "<path>: <text of errno>".
PLENWISE_API std::string ErrnoReason(const std::string& path);

}  // namespace sys
