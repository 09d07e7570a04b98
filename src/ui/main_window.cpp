#include "ui/main_window.h"

namespace tarnwick {

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Tarnwick"));
    setMinimumSize(485, 353);
}

}  // namespace tarnwick
