// One Tarnwick per user: the first start holds a lock file and listens on a local socket in the
// user's runtime folder; a second start finds the lock, hands the first the project it was given
// (if any) and asks it to bring its main window to the front, and ends without showing anything.
//
// A request is a line: "activate" brings the window to the front, "open " and a percent-encoded
// UTF-8 path opens that project, "view " and such a path opens it and shows its compiled help. A
// second start sends the "open" or "view" line before "activate", so an instance that knows only
// "activate" still comes to the front.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
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
    // `openPath`, when not empty, is the absolute path of a project for the running instance to
    // open, and with `view` to show the compiled help of.
    bool Claim(const QString& openPath = QString(), bool view = false);

    // Carries out one request line from a later start (without its line end).
    void HandleRequest(const QByteArray& line);

signals:
    // A later start asked this instance to bring its main window to the front.
    void ActivateRequested();
    // A later start was given this project (an absolute path) to open.
    void OpenRequested(const QString& path);
    // A later start was given this project (an absolute path) to show the compiled help of.
    void ViewRequested(const QString& path);

private:
    QString lockPath_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

// The project named on the command line (program name first), made absolute against
// `workingFolder`; empty when there is none. Options are not project paths and are passed over.
QString ProjectToOpen(const QStringList& arguments, const QString& workingFolder);
// Whether the command line asks for the project's compiled help (--view before any "--").
bool ViewRequestedOn(const QStringList& arguments);

}  // namespace tarnwick
