#include "tests/support/faulty_file_calls.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace testsupport {

FaultyFileCalls::FaultyFileCalls(std::string path) : path_(std::move(path)) {
    const std::size_t slash = path_.rfind('/');
    folder_ = slash == std::string::npos ? "." : path_.substr(0, slash);
}

void FaultyFileCalls::FailNth(FileCall call, int n, int error) {
    failCall_ = call;
    failAt_ = n;
    failError_ = error;
}

void FaultyFileCalls::ShortenNthWrite(int n, std::size_t bytes) {
    shortAt_ = n;
    shortBytes_ = bytes;
}

void FaultyFileCalls::KillAfterBytes(std::size_t bytes) {
    killAfter_ = bytes;
    killing_ = true;
}

int FaultyFileCalls::Count(FileCall call) const {
    const auto it = counts_.find(call);
    return it == counts_.end() ? 0 : it->second;
}

bool FaultyFileCalls::Concerns(const std::string& path) const {
    return path.starts_with(path_) || path == folder_;
}

bool FaultyFileCalls::Fails(FileCall call) {
    const int n = ++counts_[call];
    if (failAt_ != 0 && call == failCall_ && n == failAt_) {
        errno = failError_;
        return true;
    }
    return false;
}

int FaultyFileCalls::Open(const char* path, int flags, mode_t mode) {
    const int fd = sys::FileCalls::Open(path, flags, mode);
    if (fd >= 0) {
        watched_[fd] = Concerns(path);
    }
    return fd;
}

ssize_t FaultyFileCalls::Write(int fd, const void* data, std::size_t size) {
    if (!watched_[fd]) {
        return sys::FileCalls::Write(fd, data, size);
    }
    if (Fails(FileCall::Write)) {
        return -1;
    }
    if (counts_[FileCall::Write] == shortAt_) {
        size = std::min(size, shortBytes_);
    }
    if (killing_ && written_ + size > killAfter_) {
        const std::size_t part = killAfter_ - written_;
        if (part > 0) {
            sys::FileCalls::Write(fd, data, part);
        }
        ::_exit(kKilledStatus);
    }
    const ssize_t done = sys::FileCalls::Write(fd, data, size);
    written_ += done > 0 ? static_cast<std::size_t>(done) : 0;
    return done;
}

int FaultyFileCalls::Fsync(int fd) {
    if (watched_[fd] && Fails(FileCall::Fsync)) {
        return -1;
    }
    return sys::FileCalls::Fsync(fd);
}

int FaultyFileCalls::Close(int fd) {
    const bool watched = watched_[fd];
    watched_.erase(fd);
    // The descriptor is closed either way, as close() does when it reports an error.
    const int result = sys::FileCalls::Close(fd);
    if (watched && Fails(FileCall::Close)) {
        return -1;
    }
    return result;
}

int FaultyFileCalls::Rename(const char* from, const char* to) {
    if ((Concerns(from) || Concerns(to)) && Fails(FileCall::Rename)) {
        return -1;
    }
    return sys::FileCalls::Rename(from, to);
}

int RunInChild(FaultyFileCalls& calls, const std::function<bool()>& save) {
    const pid_t child = ::fork();
    if (child == 0) {
        sys::SetCurrentFileCalls(&calls);
        const bool saved = save();
        ::_exit(saved ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testsupport
