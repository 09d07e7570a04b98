// The main window of the desktop program.
#pragma once

#include <QMainWindow>

namespace tarnwick {

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
};

}  // namespace tarnwick
