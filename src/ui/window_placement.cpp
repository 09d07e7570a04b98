#include "ui/window_placement.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include "app/program_folders.h"
#include "support/message.h"

namespace tarnwick {

namespace {

QMargins OwnFrameMargins(const QWidget& window) {
    if (!window.isVisible()) {
        return {};
    }
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

// The area the inner geometry may take: the available area less the frame.
t_Placement InnerArea(const QMargins& frame) {
    const t_Placement area = AvailableScreenArea();
    return {area.Left + frame.left(), area.Top + frame.top(),
            area.Width - frame.left() - frame.right(), area.Height - frame.top() - frame.bottom()};
}

t_Placement Fitted(const t_Placement& placement, QSize minimum, bool centred,
                   const QMargins& frame) {
    const t_Placement inner = InnerArea(frame);
    t_Placement fitted = FitPlacement(placement, inner, minimum.width(), minimum.height());
    if (centred) {
        fitted.Left = std::max(inner.Left, inner.Left + (inner.Width - fitted.Width) / 2);
        fitted.Top = std::max(inner.Top, inner.Top + (inner.Height - fitted.Height) / 2);
    }
    return fitted;
}

void SetPlacement(QWidget& window, const t_Placement& placement) {
    window.setGeometry(placement.Left, placement.Top, placement.Width, placement.Height);
}

// Fits a window again once its frame is known. An X11 window manager adds the frame (the title
// bar above all) only after the window is mapped, so a window placed before it was shown can run
// a title bar's height past the bottom of the screen. Watches until the frame is first known,
// then leaves the window to the user; a window given another place before it was shown keeps it.
class FrameWatch : public QObject {
public:
    FrameWatch(QWidget& window, QSize minimum, bool centred)
        : QObject(&window),
          window_(window),
          placed_(window.geometry()),
          minimum_(minimum),
          centred_(centred) {
        setObjectName(QStringLiteral("frameWatch"));
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ &&
            (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
             event->type() == QEvent::Show)) {
            const QMargins frame = OwnFrameMargins(window_);
            if (!frame.isNull()) {
                window_.removeEventFilter(this);
                const QRect inner = window_.geometry();
                if (inner != placed_) {
                    deleteLater();
                    return false;
                }
                const t_Placement now{inner.left(), inner.top(), inner.width(), inner.height()};
                const t_Placement fitted = Fitted(now, minimum_, centred_, frame);
                if (fitted.Left != now.Left || fitted.Top != now.Top || fitted.Width != now.Width ||
                    fitted.Height != now.Height) {
                    SetPlacement(window_, fitted);
                }
                deleteLater();
            }
        }
        return false;
    }

private:
    QWidget& window_;
    QRect placed_;
    QSize minimum_;
    bool centred_;
};

}  // namespace

t_Placement AvailableScreenArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return {area.left(), area.top(), area.width(), area.height()};
}

QMargins FrameMargins(const QWidget& window) {
    const QMargins own = OwnFrameMargins(window);
    if (!own.isNull()) {
        return own;
    }
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        const QMargins frame = other == &window ? QMargins() : OwnFrameMargins(*other);
        if (!frame.isNull() && other->windowType() != Qt::Popup &&
            other->windowType() != Qt::ToolTip) {
            return frame;
        }
    }
    return {};
}

t_Placement CentredPlacement(QSize size, const QWidget& window) {
    const QMargins frame = FrameMargins(window);
    const t_Placement inner = InnerArea(frame);
    return {inner.Left + (inner.Width - size.width()) / 2,
            inner.Top + (inner.Height - size.height()) / 2, size.width(), size.height()};
}

QSize FittedSize(QSize size, const QWidget& window) {
    const t_Placement inner = InnerArea(FrameMargins(window));
    return size.boundedTo(QSize(inner.Width, inner.Height));
}

void ApplyPlacement(QWidget& window, const t_Placement& placement, QSize minimum, bool centred) {
    const QMargins frame = FrameMargins(window);
    SetPlacement(window, Fitted(placement, minimum, centred, frame));
    delete window.findChild<QObject*>(QStringLiteral("frameWatch"), Qt::FindDirectChildrenOnly);
    if (OwnFrameMargins(window).isNull()) {
        new FrameWatch(window, minimum, centred);
    }
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
