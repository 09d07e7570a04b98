#include "platform/qt/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tarnwick {
namespace {

constexpr int kWaitMs = 2000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");

}  // namespace

TSingleInstance::TSingleInstance(const QString& folder, QObject* parent) : QObject(parent) {
    QString base = folder;
    if (base.isEmpty()) {
        base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    if (base.isEmpty()) {
        base = QDir::tempPath();
    }
    const QString name = QStringLiteral("Tarnwick-%1").arg(::getuid());
    lockPath_ = QDir(base).filePath(name + QStringLiteral(".lock"));
    socketPath_ = QDir(base).filePath(name + QStringLiteral(".socket"));
}

TSingleInstance::~TSingleInstance() {
    if (server_) {
        server_->close();
    }
}

bool TSingleInstance::Claim() {
    lock_ = std::make_unique<QLockFile>(lockPath_);
    if (lock_->tryLock(100)) {
        // A socket left by a crashed instance would make listen() fail.
        QLocalServer::removeServer(socketPath_);
        server_ = std::make_unique<QLocalServer>();
        connect(server_.get(), &QLocalServer::newConnection, this, [this]() {
            while (QLocalSocket* peer = server_->nextPendingConnection()) {
                connect(peer, &QLocalSocket::readyRead, this, [this, peer]() {
                    if (peer->readAll().contains(kActivate.trimmed())) {
                        emit ActivateRequested();
                    }
                    peer->disconnectFromServer();
                });
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            }
        });
        server_->listen(socketPath_);
        return true;
    }
    lock_.reset();
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(kWaitMs)) {
        socket.write(kActivate);
        socket.waitForBytesWritten(kWaitMs);
        socket.waitForDisconnected(kWaitMs);
    }
    return false;
}

}  // namespace tarnwick
