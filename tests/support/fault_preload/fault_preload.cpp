// A preload library that injects faults into the writes of one named file of a real program run,
// for the end-to-end fault sweeps. It acts only on descriptors opened on PLENWISE_FAULT_FILE,
// on files whose name starts with it (its temporary files) and on its folder; sockets, standard
// output and every other file pass through untouched.
//   PLENWISE_FAULT=write:N | fsync:N | rename:N | close:N   the N-th such call fails (EIO; a
//                                                           write fails with ENOSPC)
//   PLENWISE_FAULT=kill:N       the process is killed (SIGKILL) once N bytes went to the file
//   PLENWISE_FAULT_REPORT=PATH  at exit, "write W fsync F rename R close C": the calls counted
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum Call { kWrite, kFsync, kRename, kClose, kCalls };
constexpr const char* kNames[kCalls] = {"write", "fsync", "rename", "close"};
constexpr int kMaxFd = 4096;

struct State {
    std::string file;
    std::string folder;
    int failCall = -1;
    long failAt = 0;
    long killAfter = -1;
    long written = 0;
    long counts[kCalls] = {};
    bool watched[kMaxFd] = {};

    State() {
        const char* file_ = std::getenv("PLENWISE_FAULT_FILE");
        if (file_ == nullptr) {
            return;
        }
        file = file_;
        folder = file.substr(0, file.rfind('/'));
        const char* fault = std::getenv("PLENWISE_FAULT");
        if (fault == nullptr) {
            return;
        }
        const std::string text(fault);
        const std::size_t colon = text.find(':');
        const std::string kind = text.substr(0, colon);
        const long n = colon == std::string::npos ? 0 : std::atol(text.c_str() + colon + 1);
        if (kind == "kill") {
            killAfter = n;
        }
        for (int call = 0; call < kCalls; ++call) {
            if (kind == kNames[call]) {
                failCall = call;
                failAt = n;
            }
        }
    }
    ~State() {
        const char* report = std::getenv("PLENWISE_FAULT_REPORT");
        if (report == nullptr) {
            return;
        }
        if (FILE* out = std::fopen(report, "w")) {
            std::fprintf(out, "write %ld fsync %ld rename %ld close %ld\n", counts[kWrite],
                         counts[kFsync], counts[kRename], counts[kClose]);
            std::fclose(out);
        }
    }
    bool Concerns(const char* path) const {
        return !file.empty() && path != nullptr &&
               (std::strncmp(path, file.c_str(), file.size()) == 0 || folder == path);
    }
    bool Watched(int fd) const { return fd >= 0 && fd < kMaxFd && watched[fd]; }
    // Counts the call; true when it is the one to fail, errno set.
    bool Fails(int call) {
        if (++counts[call] == failAt && call == failCall) {
            errno = call == kWrite ? ENOSPC : EIO;
            return true;
        }
        return false;
    }
};

State& TheState() {
    static State state;
    return state;
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

int Opened(int fd, const char* path) {
    if (fd >= 0 && fd < kMaxFd) {
        TheState().watched[fd] = TheState().Concerns(path);
    }
    return fd;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
    static auto next = Next<int (*)(const char*, int, ...)>("open");
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    return Opened(next(path, flags, mode), path);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
    static auto next = Next<int (*)(const char*, int, ...)>("open64");
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    return Opened(next(path, flags, mode), path);
}

__attribute__((visibility("default"))) ssize_t write(int fd, const void* data, size_t size) {
    static auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
    State& state = TheState();
    if (!state.Watched(fd)) {
        return next(fd, data, size);
    }
    if (state.Fails(kWrite)) {
        return -1;
    }
    if (state.killAfter >= 0 && state.written + static_cast<long>(size) > state.killAfter) {
        const long part = state.killAfter - state.written;
        if (part > 0) {
            next(fd, data, static_cast<size_t>(part));
        }
        ::kill(::getpid(), SIGKILL);
    }
    const ssize_t done = next(fd, data, size);
    state.written += done > 0 ? done : 0;
    return done;
}

__attribute__((visibility("default"))) int fsync(int fd) {
    static auto next = Next<int (*)(int)>("fsync");
    if (TheState().Watched(fd) && TheState().Fails(kFsync)) {
        return -1;
    }
    return next(fd);
}

__attribute__((visibility("default"))) int close(int fd) {
    static auto next = Next<int (*)(int)>("close");
    const bool watched = TheState().Watched(fd);
    if (fd >= 0 && fd < kMaxFd) {
        TheState().watched[fd] = false;
    }
    const int result = next(fd);
    if (watched && TheState().Fails(kClose)) {
        return -1;
    }
    return result;
}

__attribute__((visibility("default"))) int rename(const char* from, const char* to) {
    static auto next = Next<int (*)(const char*, const char*)>("rename");
    if ((TheState().Concerns(from) || TheState().Concerns(to)) && TheState().Fails(kRename)) {
        return -1;
    }
    return next(from, to);
}
}
