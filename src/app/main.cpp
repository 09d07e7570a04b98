// tarnwick: the desktop program. One instance per user; the main window does the rest.
#include <QApplication>

#include "platform/qt/qt_mesg.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/termination_signals.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tarnwick::TQtMesg mesg;
    tarnwick::SetMesg(&mesg);

    tarnwick::TSingleInstance instance;
    if (!instance.Claim()) {
        tarnwick::SetMesg(nullptr);
        return 0;
    }

    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));
    int code = 0;
    {
        tarnwick::TfrmMain window;
        QObject::connect(&instance, &tarnwick::TSingleInstance::ActivateRequested, &window,
                         [&window]() {
                             window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
                             window.show();
                             window.raise();
                             window.activateWindow();
                         });
        // The session ending closes the window like Exit does, so nothing is lost.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                         [&window](QSessionManager&) { window.close(); });
        tarnwick::CloseOnTerminationSignals(&window);
        window.FormCreate();
        window.show();
        code = app.exec();
    }
    tarnwick::SetMesg(nullptr);
    return code;
}
