// Tarnwick's own help, reached by context ID: the program-wide help file and the one help window.
// Failures are reported only while opening; afterwards, and after a failure, the commands never
// raise, and without a loaded help file they do nothing.
#pragma once

#include <string>

#include "help/html_help.h"

class QWidget;

namespace tarnwick {

class TfrmHelp;

// Opens ProgramFolder() + "Tarnwick.chm" with OpenHelpFile. Safe to call more than once.
void OpenHelp(QWidget* owner);
// Closes any help first, then loads the help file. A failure is shown once through Mesg() as
// "Failure loading the help file,\nTarnwick help will not be available.\n\n" and the loader's
// text, error style, owned by `owner`; returns whether help is available.
bool OpenHelpFile(const std::string& helpFile, const TChmLibrary& library = {},
                  QWidget* owner = nullptr);
// Closes the help window and the help file.
void CloseHelp();
// Shows the help topic of a context ID in the help window, which opens over `owner` or, when
// open, comes to the front with the topic; returns at once. Nothing happens without help.
void ShowHelpContext(QWidget* owner, int contextId);

// The help window, while one exists (for tests).
TfrmHelp* HelpWindow();

}  // namespace tarnwick
