#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

}  // namespace tarnwick
