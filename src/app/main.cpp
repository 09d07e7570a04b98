// tarnwick: the desktop program.
#include <QApplication>

#include "platform/qt/qt_mesg.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tarnwick::TQtMesg mesg;
    tarnwick::SetMesg(&mesg);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    tarnwick::TfrmMain window;
    window.show();
    const int code = app.exec();
    tarnwick::SetMesg(nullptr);
    return code;
}
