// Where a window goes: the primary screen's available area, the placement of a first start
// (centred) or a stored one made to fit the area, frame included, before the window takes it; and
// storing a window's placement.
#pragma once

#include <QMargins>
#include <QSize>

#include "store/config.h"

class QWidget;

namespace tarnwick {

// The primary screen's available area as a placement (a 1024 x 768 stand-in without a screen).
t_Placement AvailableScreenArea();

// The margins the window system's frame adds around `window`: its own once it is shown with a
// frame, else those of another shown window of the program (the frames of one desktop match),
// else none (not known before the first window is shown, and never on a frameless platform).
QMargins FrameMargins(const QWidget& window);

// The placement of a window that has none stored: `size`, frame included, centred on the
// available area.
t_Placement CentredPlacement(QSize size, const QWidget& window);

// `size` made no larger than the available area with the window's frame: the default size of a
// window that the system places (a dialog over its owner).
QSize FittedSize(QSize size, const QWidget& window);

// Gives `window` the placement (its inner geometry) fitted to the available area with its frame:
// no larger than the area, no smaller than `minimum`, and within the area; `centred` keeps it
// centred. A frame the window system adds only after the window is shown is fitted once it is
// known, the same way.
void ApplyPlacement(QWidget& window, const t_Placement& placement, QSize minimum,
                    bool centred = false);

// Stores the window's inner geometry under `key` of an open configuration.
void PutWindowPlacement(CConfig& config, int key, const QWidget& window);
// The same for a window that stores nothing else: the configuration is opened for it, and a
// failure is shown in an error box.
void StoreWindowPlacement(int key, const QWidget& window);

}  // namespace tarnwick
