#include "platform/system/user_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

namespace sys {

namespace {

FileCalls gRealCalls;
FileCalls* gCalls = &gRealCalls;

// How often a writer looks whether another one released a user file's lock.
constexpr uint32_t kLockPollMs = 5;
// Links followed to reach the file a path names, as the kernel allows.
constexpr int kMaxLinks = 40;

bool Fail(std::string* error, std::string reason) {
    if (error != nullptr) {
        *error = std::move(reason);
    }
    return false;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of links at `path` ends in; the path itself when it is no link.
bool ResolveLinks(std::string path, std::string& target, std::string* error) {
    for (int links = 0;; ++links) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            target = path;
            return true;
        }
        if (links == kMaxLinks) {
            errno = ELOOP;
            return Fail(error, ErrnoReason(path));
        }
        std::vector<char> buffer(PATH_MAX);
        const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) {
            return Fail(error, ErrnoReason(path));
        }
        std::string next(buffer.data(), static_cast<std::size_t>(length));
        path = next.front() == '/' ? next : FolderOf(path) + '/' + next;
    }
}

// Numbers of a "<pid>-<n>" suffix; false for any other text.
bool ParseTemporarySuffix(std::string_view suffix, pid_t& pid) {
    const std::size_t dash = suffix.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == suffix.size()) {
        return false;
    }
    long long value = 0;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = suffix[i];
        if (i == dash) {
            continue;
        }
        if (c < '0' || c > '9') {
            return false;
        }
        if (i < dash) {
            value = value * 10 + (c - '0');
            if (value > INT_MAX) {
                return false;
            }
        }
    }
    pid = static_cast<pid_t>(value);
    return pid > 0;
}

// Removes what killed writers of the file left beside it: temporary files of processes that are
// gone, and the ".new" file of earlier versions.
void RemoveLeftovers(const std::string& target) {
    const std::string folder = FolderOf(target);
    const std::string prefix = BaseOf(target) + ".tmp-";
    const std::string oldStyle = BaseOf(target) + ".new";
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name(entry->d_name);
        pid_t pid = 0;
        if (name == oldStyle ||
            (name.starts_with(prefix) && ParseTemporarySuffix(name.substr(prefix.size()), pid) &&
             ::kill(pid, 0) != 0 && errno == ESRCH)) {
            stale.emplace_back(name);
        }
    }
    ::closedir(directory);
    for (const std::string& name : stale) {
        ::unlink((folder + '/' + name).c_str());
    }
}

bool WriteWhole(FileCalls& calls, int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = calls.Write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void SyncFolder(FileCalls& calls, const std::string& folder) {
    const int fd = calls.Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd >= 0) {
        calls.Fsync(fd);
        calls.Close(fd);
    }
}

}  // namespace

int FileCalls::Open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
ssize_t FileCalls::Write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}
int FileCalls::Fsync(int fd) {
    return ::fsync(fd);
}
int FileCalls::Close(int fd) {
    return ::close(fd);
}
int FileCalls::Rename(const char* from, const char* to) {
    return ::rename(from, to);
}
int FileCalls::Ftruncate(int fd, off_t size) {
    return ::ftruncate(fd, size);
}

FileCalls& CurrentFileCalls() {
    return *gCalls;
}

void SetCurrentFileCalls(FileCalls* calls) {
    gCalls = calls != nullptr ? calls : &gRealCalls;
}

std::string ErrnoReason(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

bool ReplaceUserFile(const std::string& path, std::string_view content,
                     const ReplaceOptions& options, std::string* error) {
    static std::atomic<unsigned> counter{0};
    if (path.empty()) {
        errno = ENOENT;
        return Fail(error, ErrnoReason(path));
    }
    std::string target = path;
    struct stat existing {};
    const bool present = ::lstat(path.c_str(), &existing) == 0;
    if (present && S_ISLNK(existing.st_mode)) {
        if (!options.followLink) {
            return Fail(error, path + ": is a symbolic link");
        }
        if (!ResolveLinks(path, target, error)) {
            return false;
        }
    }
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    if (replacing && options.keepExisting) {
        return true;
    }
    if (replacing && !S_ISREG(existing.st_mode)) {
        return Fail(error, path + ": not a regular file");
    }
    RemoveLeftovers(target);

    FileCalls& calls = CurrentFileCalls();
    const std::string temporary =
        target + ".tmp-" + std::to_string(::getpid()) + '-' + std::to_string(counter++);
    const int fd = calls.Open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              replacing ? 0600 : options.newMode);
    if (fd < 0) {
        return Fail(error, ErrnoReason(temporary));
    }
    std::string reason;
    bool written = WriteWhole(calls, fd, content) &&
                   (!replacing || ::fchmod(fd, existing.st_mode & 07777) == 0) &&
                   calls.Fsync(fd) == 0;
    if (!written) {
        reason = ErrnoReason(temporary);
    }
    if (calls.Close(fd) != 0 && written) {
        written = false;
        reason = ErrnoReason(temporary);
    }
    if (written) {
        if (options.keepExisting) {
            // link() never replaces a file that appeared meanwhile; where a file system has no
            // links, the file is looked for once more before renaming.
            written = ::link(temporary.c_str(), target.c_str()) == 0 || errno == EEXIST;
            if (!written && (errno == EPERM || errno == EOPNOTSUPP)) {
                written = ::lstat(target.c_str(), &existing) == 0 ||
                          calls.Rename(temporary.c_str(), target.c_str()) == 0;
            }
        } else {
            written = calls.Rename(temporary.c_str(), target.c_str()) == 0;
        }
        if (!written) {
            reason = ErrnoReason(path);
        }
    }
    if (!written || options.keepExisting) {
        ::unlink(temporary.c_str());
    }
    if (!written) {
        return Fail(error, reason);
    }
    SyncFolder(calls, FolderOf(target));
    return true;
}

bool AppendUserFileLine(const std::string& path, std::string_view line, std::string* error) {
    if (!MakeUserFolders(FolderOf(path), error)) {
        return false;
    }
    FileCalls& calls = CurrentFileCalls();
    // Read and write: a torn last line must be seen before anything is appended to it. Opening
    // does not block on a FIFO put in the log's place, which is then refused.
    const int fd = calls.Open(
        path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        return Fail(error, errno == ELOOP ? path + ": is a symbolic link" : ErrnoReason(path));
    }
    std::string reason;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        reason = ErrnoReason(path);
    } else if (!S_ISREG(info.st_mode)) {
        reason = path + ": not a regular file";
    } else {
        int locked = 0;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (locked != 0 || ::fstat(fd, &info) != 0) {
            reason = ErrnoReason(path);
        }
    }
    if (reason.empty()) {
        std::string whole(line);
        char last = '\n';
        if (info.st_size > 0 && ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n') {
            whole.insert(whole.begin(), '\n');
        }
        const ssize_t written = calls.Write(fd, whole.data(), whole.size());
        if (written != static_cast<ssize_t>(whole.size())) {
            if (written >= 0) {
                errno = ENOSPC;  // a short write: the disk is full
            }
            reason = ErrnoReason(path);
            // Still under the lock: what was written of the line goes again.
            if (written > 0 && calls.Ftruncate(fd, info.st_size) != 0) {
                reason += " (a part of the line stays in the log)";
            }
        }
    }
    // Once the whole line is written it is in the log; closing cannot take it back.
    calls.Close(fd);
    return reason.empty() || Fail(error, reason);
}

bool MakeUserFolders(const std::string& folder, std::string* error) {
    std::size_t at = folder.find_first_not_of('/');
    while (at != std::string::npos && at <= folder.size()) {
        const std::size_t end = std::min(folder.find('/', at), folder.size());
        const std::string part = folder.substr(0, end);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return Fail(error, ErrnoReason(part));
        }
        at = end == folder.size() ? std::string::npos : folder.find_first_not_of('/', end);
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return Fail(error, ErrnoReason(folder));
    }
    if (!S_ISDIR(info.st_mode)) {
        return Fail(error, folder + ": not a folder");
    }
    return true;
}

UserFileLock::UserFileLock(const std::string& path, Kind kind, uint32_t waitMs) {
    const std::string lockPath = path + ".lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd_ < 0 && kind == Kind::Shared && errno != ELOOP) {
        fd_ = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd_ < 0) {
        error_ = errno == ELOOP ? lockPath + ": is a symbolic link" : ErrnoReason(lockPath);
        return;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        error_ = lockPath + ": not a regular file";
        ::close(fd_);
        fd_ = -1;
        return;
    }
    // The other holder is another process or thread, which no virtual clock moves: the wait is
    // on the steady clock.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    const int operation = (kind == Kind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    while (::flock(fd_, operation) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            error_ = errno == EWOULDBLOCK || errno == EINTR ? lockPath + ": held by another program"
                                                            : ErrnoReason(lockPath);
            ::close(fd_);
            fd_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kLockPollMs));
    }
}

UserFileLock::~UserFileLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

}  // namespace sys
