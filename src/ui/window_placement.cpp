#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "app/program_folders.h"
#include "support/message.h"

namespace tarnwick {

t_Placement AvailableScreenArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return {area.left(), area.top(), area.width(), area.height()};
}

void ApplyPlacement(QWidget& window, const t_Placement& placement, QSize minimum) {
    const t_Placement fitted =
        FitPlacement(placement, AvailableScreenArea(), minimum.width(), minimum.height());
    window.setGeometry(fitted.Left, fitted.Top, fitted.Width, fitted.Height);
}

void PutWindowPlacement(CConfig& config, int key, const QWidget& window) {
    const QRect frame = window.geometry();
    config.PutPlacement(key, frame.left(), frame.top(), frame.width(), frame.height());
}

void StoreWindowPlacement(int key, const QWidget& window) {
    try {
        CConfig config(DataFolder(), Mesg());
        PutWindowPlacement(config, key, window);
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
}

}  // namespace tarnwick
