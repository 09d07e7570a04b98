// Tarnwick's own help, reached by context ID. Until the help viewer is built, the commands do
// nothing, as they do in a program whose help file could not be loaded.
#pragma once

class QWidget;

namespace tarnwick {

// Loads the help access; reports a failure to the user once. Safe to call more than once.
void OpenHelp(QWidget* owner);
void CloseHelp();
// Shows the help topic of a context ID over `owner`; returns at once.
void ShowHelpContext(QWidget* owner, int contextId);

}  // namespace tarnwick
