// Tarnwick's own help, reached by context ID: the program-wide help file and the one help window.
// Failures are reported only while opening; afterwards, and after a failure, the commands never
// raise, and without a loaded help file they do nothing.
//
// Beside it, a help project's own compiled help can be viewed in a second help window of its own,
// which keeps its file open while it exists; Tarnwick's help is not touched by it.
#pragma once

#include <string>

#include "help/html_help.h"

class QWidget;

namespace tarnwick {

class TCodePage;
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

// Opens the compiled help file `chmFile` (a Linux path) of a help project whose text is in
// `codePage`, in the project help window over `owner`, at the file's default topic; the file is
// read afresh each time, so a newly compiled file shows. A file that is missing or cannot be read
// is told through Mesg() and leaves no window; returns whether the file is shown.
bool ViewCompiledHelp(QWidget* owner, const std::string& chmFile, const TCodePage& codePage);
// The same for the compiled file that the project file `projectFile` names (CompiledHelpFile);
// a project that cannot be read is told too.
bool ViewProjectHelp(QWidget* owner, const std::string& projectFile, const TCodePage& codePage);
// The project help window, while one exists. Closing it releases its file.
TfrmHelp* ProjectHelpWindow();

}  // namespace tarnwick
