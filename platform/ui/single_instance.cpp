#include "platform/ui/single_instance.h"

#include <unistd.h>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include "platform/ui/window.h"

namespace ui {

namespace {
constexpr int kReplyWaitMs = 3000;
const QByteArray kRaiseRequest = "raise\n";
const QByteArray kRaisedReply = "raised\n";

// The lock and the channel live in the user's runtime folder, private to the user.
QString InstanceFolder() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder = runtime.isEmpty() ? QDir::tempPath() + QStringLiteral("/plenwise-") +
                                             QString::number(getuid())
                                       : runtime + QStringLiteral("/plenwise");
    QDir().mkpath(folder);
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return folder;
}
}  // namespace

class SingleInstanceImpl {
  public:
    explicit SingleInstanceImpl(const std::string& name)
        : name_(name),
          base_(InstanceFolder() + QLatin1Char('/') + QString::fromStdString(name)),
          lock_(base_ + QStringLiteral(".lock")) {
        lock_.setStaleLockTime(0);  // stale only when its owner process is gone
    }

    bool Acquire() {
        if (!lock_.tryLock(0)) {
            return false;
        }
        QString socket = base_ + QStringLiteral(".socket");
        QLocalServer::removeServer(socket);  // a socket left by an instance that died
        server_ = std::make_unique<QLocalServer>();
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(),
                         [this]() { Serve(); });
        server_->listen(socket);
        return true;
    }

    bool AskFirstToRaise() {
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
        return socket.readLine() == kRaisedReply;
    }

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

    std::string name_;
    QString base_;
    QLockFile lock_;
    std::unique_ptr<QLocalServer> server_;
};

SingleInstance::SingleInstance(const std::string& name)
    : impl_(std::make_unique<SingleInstanceImpl>(name)) {}
SingleInstance::~SingleInstance() = default;
bool SingleInstance::Acquire() {
    return impl_->Acquire();
}
bool SingleInstance::AskFirstToRaise() {
    return impl_->AskFirstToRaise();
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
