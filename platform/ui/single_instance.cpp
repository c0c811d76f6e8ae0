#include "platform/ui/single_instance.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/ui/window.h"

namespace ui {

namespace {
constexpr int kReplyWaitMs = 3000;
// A lock file is written right after it is made: one that still cannot be read after this long
// was left unfinished, and is stale.
constexpr qint64 kUnreadableLockStaleMs = 1000;
const QByteArray kRaiseRequest = "raise\n";
const QByteArray kRaisedReply = "raised\n";

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
        QString socket = base_ + QStringLiteral(".socket");
        QLocalServer::removeServer(socket);  // a socket left by an instance that died
        server_ = std::make_unique<QLocalServer>();
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(),
                         [this]() { Serve(); });
        server_->listen(socket);
        return SingleInstance::Lock::Taken;
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
        QLocalSocket socket;
        socket.connectToServer(base_ + QStringLiteral(".socket"));
        if (!socket.waitForConnected(kReplyWaitMs)) {
            return false;
        }
        socket.write(kRaiseRequest);
        if (!socket.waitForBytesWritten(kReplyWaitMs)) {
            return false;
        }
        while (!socket.canReadLine()) {
            if (!socket.waitForReadyRead(kReplyWaitMs)) {
                return false;
            }
        }
        if (socket.readLine() != kRaisedReply) {
            return false;
        }
        problem_.clear();
        return true;
    }

    const std::string& Problem() const { return problem_; }

  private:
    void Serve() {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QLocalSocket::readyRead, client, [this, client]() {
                if (client->bytesAvailable() > 64) {
                    client->abort();  // not a request of ours
                    return;
                }
                if (!client->canReadLine()) {
                    return;
                }
                if (client->readLine() == kRaiseRequest) {
                    RaiseWindowsWithProperty(name_);
                    client->write(kRaisedReply);
                }
                client->disconnectFromServer();
            });
        }
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
    std::unique_ptr<QLocalServer> server_;
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
