// tarnwick: the desktop program. One instance per user; the main window does the rest.
#include <QApplication>
#include <QDir>

#include "platform/qt/qt_mesg.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/termination_signals.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tarnwick::TQtMesg mesg;
    tarnwick::SetMesg(&mesg);

    // A project named on the command line opens here, or in the instance already running; with
    // --view its compiled help is shown too.
    const QString project =
        tarnwick::ProjectToOpen(QCoreApplication::arguments(), QDir::currentPath());
    const bool view =
        !project.isEmpty() && tarnwick::ViewRequestedOn(QCoreApplication::arguments());
    tarnwick::TSingleInstance instance;
    if (!instance.Claim(project, view)) {
        tarnwick::SetMesg(nullptr);
        return 0;
    }

    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));
    int code = 0;
    {
        tarnwick::TfrmMain window;
        auto raise = [&window]() {
            window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
            window.show();
            window.raise();
            window.activateWindow();
        };
        QObject::connect(&instance, &tarnwick::TSingleInstance::ActivateRequested, &window, raise);
        // The window comes to the front first, so that a message about the project is seen.
        QObject::connect(&instance, &tarnwick::TSingleInstance::OpenRequested, &window,
                         [&window, raise](const QString& path) {
                             raise();
                             window.OpenProject(path);
                         });
        // The compiled help shows once the project has opened; a project that did not open has
        // been told about already.
        auto openAndView = [&window](const QString& path) {
            window.OpenProject(path);
            if (window.Session().Project().ProjectRead &&
                window.Session().ProjectFile() == tarnwick::PathFromQt(path)) {
                window.ViewProjectHelp(path);
            }
        };
        QObject::connect(&instance, &tarnwick::TSingleInstance::ViewRequested, &window,
                         [raise, openAndView](const QString& path) {
                             raise();
                             openAndView(path);
                         });
        // The session ending closes the window like Exit does, so nothing is lost.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                         [&window](QSessionManager&) { window.close(); });
        tarnwick::CloseOnTerminationSignals(&window);
        window.FormCreate(project);
        window.show();
        if (view && window.Session().Project().ProjectRead &&
            window.Session().ProjectFile() == tarnwick::PathFromQt(project)) {
            window.ViewProjectHelp(project);
        }
        code = app.exec();
    }
    tarnwick::SetMesg(nullptr);
    return code;
}
