#include "platform/qt/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tarnwick {
namespace {

constexpr int kWaitMs = 2000;
const QByteArray kActivate = QByteArrayLiteral("activate");
const QByteArray kOpen = QByteArrayLiteral("open ");
const QByteArray kView = QByteArrayLiteral("view ");

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

bool TSingleInstance::Claim(const QString& openPath, bool view) {
    lock_ = std::make_unique<QLockFile>(lockPath_);
    if (lock_->tryLock(100)) {
        // A socket left by a crashed instance would make listen() fail.
        QLocalServer::removeServer(socketPath_);
        server_ = std::make_unique<QLocalServer>();
        connect(server_.get(), &QLocalServer::newConnection, this, [this]() {
            while (QLocalSocket* peer = server_->nextPendingConnection()) {
                // The requests may come in pieces: each is carried out once its line is whole,
                // and the last one ("activate") ends the conversation.
                connect(peer, &QLocalSocket::readyRead, this, [this, peer]() {
                    while (peer->canReadLine()) {
                        const QByteArray line = peer->readLine().trimmed();
                        HandleRequest(line);
                        if (line == kActivate) {
                            peer->disconnectFromServer();
                            return;
                        }
                    }
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
        if (!openPath.isEmpty()) {
            socket.write((view ? kView : kOpen) + openPath.toUtf8().toPercentEncoding() + '\n');
        }
        socket.write(kActivate + '\n');
        socket.waitForBytesWritten(kWaitMs);
        socket.waitForDisconnected(kWaitMs);
    }
    return false;
}

void TSingleInstance::HandleRequest(const QByteArray& line) {
    if (line == kActivate) {
        emit ActivateRequested();
    } else if (line.startsWith(kOpen) || line.startsWith(kView)) {
        const QString path =
            QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(kOpen.size())));
        if (path.isEmpty()) {
            return;
        }
        if (line.startsWith(kView)) {
            emit ViewRequested(path);
        } else {
            emit OpenRequested(path);
        }
    }
}

QString ProjectToOpen(const QStringList& arguments, const QString& workingFolder) {
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (options && argument == QStringLiteral("--")) {
            options = false;  // what follows is a path, even one starting with "-"
            continue;
        }
        if (argument.isEmpty() || (options && argument.startsWith(QLatin1Char('-')))) {
            continue;
        }
        return QDir::cleanPath(QDir(workingFolder).absoluteFilePath(argument));
    }
    return QString();
}

bool ViewRequestedOn(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != QStringLiteral("--"); ++i) {
        if (arguments[i] == QStringLiteral("--view")) {
            return true;
        }
    }
    return false;
}

}  // namespace tarnwick
