#include "platform/qt/single_instance.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QWidget>
#include <csignal>

namespace tarnwick {
namespace {

constexpr int kWaitMs = 2000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: hand the signal to the event loop.
    [[maybe_unused]] ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

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

void CloseOnTerminationSignals(QObject* window) {
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window]() {
        char byte = 0;
        [[maybe_unused]] ssize_t ignored = ::read(signalPipe[0], &byte, 1);
        if (auto* widget = qobject_cast<QWidget*>(window)) {
            widget->close();
        }
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

}  // namespace tarnwick
