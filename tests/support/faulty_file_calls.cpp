#include "tests/support/faulty_file_calls.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

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

namespace {

std::optional<std::string> Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Temporary files of the file beside it.
std::vector<std::string> Temporaries(const std::string& path) {
    const std::filesystem::path file(path);
    const std::string prefix = file.filename().string() + ".tmp-";
    std::vector<std::string> found;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), ignored)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            found.push_back(entry.path().filename().string());
        }
    }
    return found;
}

const char* NameOf(FileCall call) {
    switch (call) {
        case FileCall::Write:
            return "write";
        case FileCall::Fsync:
            return "fsync";
        case FileCall::Rename:
            return "rename";
        case FileCall::Close:
            return "close";
    }
    return "";
}

}  // namespace

bool WritersAtOnceAllSucceed(int writers, const std::function<bool(int writer)>& write) {
    // They start together once the parent closes the pipe's writing end.
    int start[2] = {};
    if (::pipe(start) != 0) {
        return false;
    }
    std::vector<pid_t> children;
    for (int writer = 0; writer < writers; ++writer) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(start[1]);
            char byte = 0;
            while (::read(start[0], &byte, 1) < 0 && errno == EINTR) {
            }
            std::_Exit(write(writer) ? 0 : 1);
        }
        if (child > 0) {
            children.push_back(child);
        }
    }
    ::close(start[0]);
    ::close(start[1]);
    bool all = static_cast<int>(children.size()) == writers;
    for (const pid_t child : children) {
        int status = -1;
        all = ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
              WEXITSTATUS(status) == 0 && all;
    }
    return all;
}

void SweepWriter(const std::string& path, const std::function<void()>& setUp,
                 const std::function<bool()>& save, bool appends) {
    setUp();
    const std::optional<std::string> old = Content(path);
    FaultyFileCalls counted(path);
    {
        const ScopedFileCalls installed(counted);
        ASSERT_TRUE(save()) << "the save without faults";
    }
    const std::optional<std::string> fresh = Content(path);
    ASSERT_TRUE(fresh.has_value());
    ASSERT_NE(fresh, old) << "the save changes nothing";
    ASSERT_GT(counted.Count(FileCall::Write), 0);

    auto check = [&](int status, const std::string& what) {
        if (status == 0) {
            EXPECT_EQ(Content(path), fresh) << what << ": reported saved, but not the new file";
        } else {
            EXPECT_TRUE(status == 1 || status == FaultyFileCalls::kKilledStatus) << what;
            EXPECT_EQ(Content(path), old) << what << ": not saved, but not the old file";
        }
        if (status == 1) {
            EXPECT_TRUE(Temporaries(path).empty()) << what << ": a failed save left files";
        }
    };
    for (const FileCall call :
         {FileCall::Write, FileCall::Fsync, FileCall::Rename, FileCall::Close}) {
        for (int n = 1; n <= counted.Count(call); ++n) {
            setUp();
            FaultyFileCalls calls(path);
            calls.FailNth(call, n, call == FileCall::Write ? ENOSPC : EIO);
            check(RunInChild(calls, save), std::string(NameOf(call)) + " " + std::to_string(n));
        }
    }
    const std::size_t length = fresh->size() - (appends && old ? old->size() : 0);
    for (const std::size_t bytes :
         {std::size_t{0}, std::size_t{1}, length / 4, length / 2, length * 3 / 4, length - 1}) {
        setUp();
        FaultyFileCalls calls(path);
        const std::string what = std::to_string(bytes) + " of " + std::to_string(length) + " bytes";
        if (appends) {
            calls.ShortenNthWrite(1, bytes);
            check(RunInChild(calls, save), "a write cut after " + what);
            continue;
        }
        calls.KillAfterBytes(bytes);
        const int status = RunInChild(calls, save);
        EXPECT_EQ(status, FaultyFileCalls::kKilledStatus) << what;
        check(status, "killed after " + what);
        // The next save (of the same change) cleans up after the killed one.
        ASSERT_TRUE(save()) << what;
        EXPECT_EQ(Content(path), fresh) << what;
        EXPECT_TRUE(Temporaries(path).empty()) << what << ": the killed save's file stays";
    }
}

}  // namespace testsupport
