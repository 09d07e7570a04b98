#include "ui/help.h"

namespace tarnwick {

void OpenHelp(QWidget* /*owner*/) {}

void CloseHelp() {}

void ShowHelpContext(QWidget* /*owner*/, int /*contextId*/) {}

}  // namespace tarnwick
