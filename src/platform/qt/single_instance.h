// One Tarnwick per user: the first start holds a lock file and listens on a local socket in the
// user's runtime folder; a second start finds the lock, asks the first to bring its main window
// to the front, and ends without showing anything.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace tarnwick {

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder`: where the lock and the socket live; empty for the user's runtime folder.
    explicit TSingleInstance(const QString& folder = QString(), QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True when this process is the first instance (and now listens for later ones). False when
    // another instance runs; it has then been asked to activate its main window.
    bool Claim();

signals:
    // A later start asked this instance to bring its main window to the front.
    void ActivateRequested();

private:
    QString lockPath_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace tarnwick
