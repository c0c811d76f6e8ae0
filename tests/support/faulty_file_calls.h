// A fault-injecting back-end of the user-file seam (sys::FileCalls): it acts only on the named
// file, its temporary files beside it and its folder, and either fails the N-th call of one kind
// with an errno, or kills the process (_exit) once N bytes of writes to them went out, the
// part up to byte N written first. Sockets, standard output and every other file pass through.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "platform/system/user_file.h"

namespace testsupport {

enum class FileCall { Write, Fsync, Rename, Close };

class FaultyFileCalls : public sys::FileCalls {
  public:
    // Exit status of a process killed by KillAfterBytes.
    static constexpr int kKilledStatus = 86;

    // Acts on `path`, files whose name starts with it, and its folder.
    explicit FaultyFileCalls(std::string path);

    // The `n`-th (1-based) call of the kind fails with `error`; a failing write writes nothing.
    void FailNth(FileCall call, int n, int error);
    // The `n`-th write writes only its first `bytes` bytes and says so, as on a disk that fills.
    void ShortenNthWrite(int n, std::size_t bytes);
    // A write that would take the bytes written beyond `bytes` writes up to there, then ends the
    // process. Meant for a forked child.
    void KillAfterBytes(std::size_t bytes);

    // How many calls of the kind reached the named file so far.
    int Count(FileCall call) const;

    int Open(const char* path, int flags, mode_t mode) override;
    ssize_t Write(int fd, const void* data, std::size_t size) override;
    int Fsync(int fd) override;
    int Close(int fd) override;
    int Rename(const char* from, const char* to) override;

  private:
    bool Concerns(const std::string& path) const;
    // Counts the call; true when it is the one to fail (errno set).
    bool Fails(FileCall call);

    std::string path_;
    std::string folder_;
    std::map<int, bool> watched_;  // open descriptors of the named file
    std::map<FileCall, int> counts_;
    FileCall failCall_ = FileCall::Write;
    int failAt_ = 0;
    int failError_ = 0;
    int shortAt_ = 0;
    std::size_t shortBytes_ = 0;
    std::size_t killAfter_ = 0;
    bool killing_ = false;
    std::size_t written_ = 0;
};

// Installs the calls for the lifetime of the object.
class ScopedFileCalls {
  public:
    explicit ScopedFileCalls(sys::FileCalls& calls) { sys::SetCurrentFileCalls(&calls); }
    ~ScopedFileCalls() { sys::SetCurrentFileCalls(nullptr); }
    ScopedFileCalls(const ScopedFileCalls&) = delete;
    ScopedFileCalls& operator=(const ScopedFileCalls&) = delete;
};

// Runs `save` in a forked child under `calls`; the child reports back through its exit status
// (0 success, 1 failure, kKilledStatus killed).
int RunInChild(FaultyFileCalls& calls, const std::function<bool()>& save);

// Runs `write(writer)` in `writers` forked processes that start together; true when every one
// returned true. For tests of writers that must take turns on one file.
bool WritersAtOnceAllSucceed(int writers, const std::function<bool(int writer)>& write);

// The sweep of one writer of the file at `path`: `setUp` puts the old file in place (or removes
// it), `save` writes the new one and reports success. For every write, fsync, rename and close
// the save makes, a run where that call fails; then runs killed after a spread of byte counts
// (for an appending writer, whose record is one write, writes cut short there instead). After
// each, the file must be byte for byte the old one (or still missing) when the save reported
// failure or was killed, and the new one when it reported success; a failed save leaves no
// temporary file, and the next save removes what a killed one left.
void SweepWriter(const std::string& path, const std::function<void()>& setUp,
                 const std::function<bool()>& save, bool appends = false);

}  // namespace testsupport
