// Where a window restored from a stored placement goes: the primary screen's available area, and
// the placement made to fit it before the window takes it; and storing a window's placement.
#pragma once

#include <QSize>

#include "store/config.h"

class QWidget;

namespace tarnwick {

// The primary screen's available area as a placement (a 1024 x 768 stand-in without a screen).
t_Placement AvailableScreenArea();

// Gives `window` the placement (its inner geometry) fitted to the available area: no larger than
// the area, no smaller than `minimum`, and within the area.
void ApplyPlacement(QWidget& window, const t_Placement& placement, QSize minimum);

// Stores the window's inner geometry under `key` of an open configuration.
void PutWindowPlacement(CConfig& config, int key, const QWidget& window);
// The same for a window that stores nothing else: the configuration is opened for it, and a
// failure is shown in an error box.
void StoreWindowPlacement(int key, const QWidget& window);

}  // namespace tarnwick
