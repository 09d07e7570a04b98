// Two-part hints of the program's controls: the part before "|" is the tool tip, the part after
// it the status tip (the whole text for both when there is no "|").
#pragma once

#include <QString>

class QWidget;

namespace tarnwick {

// Status tips are shown with a leading space, as the status bar always showed them.
void SetHint(QWidget* widget, const QString& hint);

}  // namespace tarnwick
