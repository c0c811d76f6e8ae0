#include "platform/ui/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ui/window.h"

namespace ui {

namespace {
constexpr int kReplyWaitMs = 3000;
constexpr int kConnectRetryMs = 10;
// A lock file is written right after it is made: one that still cannot be read after this long
// was left unfinished, and is stale.
constexpr qint64 kUnreadableLockStaleMs = 1000;
constexpr std::string_view kRaiseRequest = "raise\n";
constexpr std::string_view kRaisedReply = "raised\n";
// More than a request of ours: the client is dropped.
constexpr size_t kLongestRequest = 64;

// The folder of the lock and the channel, private to the user; "" with the reason in `problem`
// when it cannot be had or is not safe to use.
std::string InstanceFolder(std::string& problem) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        const std::string folder = std::string(runtime) + "/plenwise";
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = folder + ": " + std::strerror(errno);
            return {};
        }
        return folder;
    }
    // A folder in the shared temporary folder can be made by anyone first: only this user's
    // own, that nobody else may write to, is used.
    const std::string folder =
        QDir::tempPath().toStdString() + "/plenwise-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = folder + ": " + std::strerror(errno);
        return {};
    }
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0) {
        problem = folder + ": " + std::strerror(errno);
        return {};
    }
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::getuid() ||
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        problem =
            folder + " is not a folder of this user's alone (set XDG_RUNTIME_DIR, or remove it)";
        return {};
    }
    return folder;
}

// The channel is a Unix stream socket in the instance folder, spoken to with plain system calls:
// the program's start then needs no network library. -1 when the path does not fit.
int NewSocket(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return -1;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// Waits until `fd` is ready for `events` or the deadline passes.
bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return (entry.revents & (events | POLLHUP | POLLERR)) != 0;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}
}  // namespace

class SingleInstanceImpl {
  public:
    explicit SingleInstanceImpl(const std::string& name) : name_(name) {
        const std::string folder = InstanceFolder(problem_);
        if (!folder.empty()) {
            base_ = QString::fromStdString(folder + "/" + name);
            lock_ = std::make_unique<QLockFile>(base_ + QStringLiteral(".lock"));
            lock_->setStaleLockTime(0);  // stale only when its owner process is gone
        }
    }

    SingleInstance::Lock Acquire() {
        if (!lock_) {
            return SingleInstance::Lock::Unusable;
        }
        if (!lock_->tryLock(0) && !TakeOverUnreadable()) {
            if (lock_->error() == QLockFile::LockFailedError) {
                return SingleInstance::Lock::Held;
            }
            problem_ = (base_ + QStringLiteral(".lock")).toStdString() + ": " +
                       (lock_->error() == QLockFile::PermissionError ? "no permission to write it"
                                                                     : "it cannot be written");
            return SingleInstance::Lock::Unusable;
        }
        Listen();
        return SingleInstance::Lock::Taken;
    }

    ~SingleInstanceImpl() {
        retired_.clear();
        for (auto& [fd, client] : clients_) {
            client.notifier.reset();
            ::close(fd);
        }
        if (server_ >= 0) {
            serverNotifier_.reset();
            ::close(server_);
            ::unlink(SocketPath().c_str());
        }
    }

    bool AskFirstToRaise() {
        if (!lock_) {
            return false;
        }
        qint64 pid = 0;
        QString host;
        QString application;
        lock_->getLockInfo(&pid, &host, &application);
        problem_ = "Plenwise runs already (process " + std::to_string(pid) +
                   ") but does not answer; end it, or remove " +
                   (base_ + QStringLiteral(".lock")).toStdString() + " if it is gone";
        if (!AskOverChannel()) {
            return false;
        }
        problem_.clear();
        return true;
    }

    const std::string& Problem() const { return problem_; }

  private:
    std::string SocketPath() const { return (base_ + QStringLiteral(".socket")).toStdString(); }

    // Listens on the channel; a start that cannot listen still runs, only unable to be raised.
    void Listen() {
        const std::string path = SocketPath();
        sockaddr_un address{};
        const int fd = NewSocket(path, address);
        if (fd < 0) {
            return;
        }
        ::unlink(path.c_str());  // a socket left by an instance that died
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
            ::chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, SOMAXCONN) != 0) {
            ::close(fd);
            return;
        }
        server_ = fd;
        serverNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(serverNotifier_.get(), &QSocketNotifier::activated, serverNotifier_.get(),
                         [this]() { Accept(); });
    }

    void Accept() {
        retired_.clear();
        for (;;) {
            const int fd = ::accept4(server_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) {
                return;
            }
            Client& client = clients_[fd];
            client.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QObject::connect(client.notifier.get(), &QSocketNotifier::activated,
                             client.notifier.get(), [this, fd]() { Serve(fd); });
        }
    }

    // Reads what a client sent; a whole request is answered, anything else drops the client.
    void Serve(int fd) {
        retired_.clear();
        Client& client = clients_[fd];
        char buffer[kLongestRequest + 1];
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        bool done = got <= 0;
        if (!done) {
            client.received.append(buffer, static_cast<size_t>(got));
            done = client.received.size() > kLongestRequest ||
                   client.received.find('\n') != std::string::npos;
        }
        if (!done) {
            return;
        }
        if (client.received == kRaiseRequest) {
            RaiseWindowsWithProperty(name_);
            // A reply this short always fits into a fresh connection's buffer.
            [[maybe_unused]] const ssize_t sent =
                ::send(fd, kRaisedReply.data(), kRaisedReply.size(), MSG_NOSIGNAL);
        }
        // The notifier is the sender of this very call: it is stilled now and deleted on the
        // channel's next call, or with the instance.
        client.notifier->setEnabled(false);
        retired_.push_back(std::move(client.notifier));
        clients_.erase(fd);
        ::close(fd);
    }

    // Sends the raise request and waits, within the reply wait, for the confirmation.
    bool AskOverChannel() {
        sockaddr_un address{};
        const int fd = NewSocket(SocketPath(), address);
        if (fd < 0) {
            return false;
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyWaitMs);
        // A listener with a full backlog refuses for now: asked again until the deadline.
        int connected = -1;
        while ((connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address),
                                      sizeof(address))) != 0 &&
               errno == EAGAIN && std::chrono::steady_clock::now() < deadline) {
            ::poll(nullptr, 0, kConnectRetryMs);
        }
        bool asked = false;
        if (connected == 0 || errno == EINPROGRESS) {
            int error = 0;
            socklen_t size = sizeof(error);
            asked = WaitFor(fd, POLLOUT, deadline) &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0 &&
                    ::send(fd, kRaiseRequest.data(), kRaiseRequest.size(), MSG_NOSIGNAL) ==
                        static_cast<ssize_t>(kRaiseRequest.size());
        }
        std::string reply;
        while (asked && reply.find('\n') == std::string::npos && reply.size() <= kLongestRequest) {
            char buffer[kLongestRequest];
            if (!WaitFor(fd, POLLIN, deadline)) {
                break;
            }
            const ssize_t got = ::read(fd, buffer, sizeof(buffer));
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            reply.append(buffer, static_cast<size_t>(got));
        }
        ::close(fd);
        return reply == kRaisedReply;
    }

    // A held lock whose owner cannot be read from it (empty, garbled) belongs to no process:
    // once it is old enough not to be one still being written, it is removed and taken.
    bool TakeOverUnreadable() {
        if (lock_->error() != QLockFile::LockFailedError) {
            return false;
        }
        qint64 pid = 0;
        QString host;
        QString application;
        const QString path = base_ + QStringLiteral(".lock");
        if (lock_->getLockInfo(&pid, &host, &application) ||
            QFileInfo(path).lastModified().msecsTo(QDateTime::currentDateTime()) <
                kUnreadableLockStaleMs) {
            return false;
        }
        return QFile::remove(path) && lock_->tryLock(0);
    }

    std::string name_;
    std::string problem_;
    QString base_;
    std::unique_ptr<QLockFile> lock_;
    int server_ = -1;
    std::unique_ptr<QSocketNotifier> serverNotifier_;
    struct Client {
        std::unique_ptr<QSocketNotifier> notifier;
        std::string received;
    };
    std::map<int, Client> clients_;
    std::vector<std::unique_ptr<QSocketNotifier>> retired_;
};

SingleInstance::SingleInstance(const std::string& name)
    : impl_(std::make_unique<SingleInstanceImpl>(name)) {}
SingleInstance::~SingleInstance() = default;
SingleInstance::Lock SingleInstance::Acquire() {
    return impl_->Acquire();
}
bool SingleInstance::AskFirstToRaise() {
    return impl_->AskFirstToRaise();
}
std::string SingleInstance::Problem() const {
    return impl_->Problem();
}

void RaiseWindowsWithProperty(const std::string& property) {
    for (WindowHandle window : TopLevelWindows()) {
        if (GetProp(window, property) == 0) {
            continue;
        }
        if (IsIconic(window)) {
            ShowWindow(window, kRestore);
        }
        SetForegroundWindow(window);
        SetForegroundWindow(GetLastActivePopup(window));
    }
}

}  // namespace ui
