// Where a window restored from a stored placement goes: the primary screen's available area, and
// the placement made to fit it before the window takes it.
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

}  // namespace tarnwick
