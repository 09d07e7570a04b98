#include "ui/help.h"

#include <QPointer>
#include <QWidget>
#include <exception>

#include "app/program_folders.h"
#include "help/html_help.h"
#include "support/message.h"
#include "ui/help_viewer.h"

namespace tarnwick {
namespace {

constexpr std::string_view kHelpFileName = "Tarnwick.chm";
constexpr std::string_view kLoadFailure =
    "Failure loading the help file,\nTarnwick help will not be available.\n\n";

// The one help window; Qt clears the pointer when the window's owner takes it along.
QPointer<TfrmHelp> helpWindow;

}  // namespace

void OpenHelp(QWidget* owner) {
    OpenHelpFile(ProgramFolder() + std::string(kHelpFileName), TChmLibrary{}, owner);
}

bool OpenHelpFile(const std::string& helpFile, const TChmLibrary& library, QWidget* owner) {
    CloseHelp();
    try {
        return OpenHtmlHelp(helpFile, library);
    } catch (const HtmlError& e) {
        Mesg().Show(std::string(kLoadFailure) + e.Text(), kMbError, owner);
        return false;
    }
}

void CloseHelp() {
    delete helpWindow.data();
    CloseHtmlHelp();
}

void ShowHelpContext(QWidget* owner, int contextId) {
    CHtmlHelp* help = CurrentHtmlHelp();
    if (!help) {
        return;
    }
    // Called from key and button handlers: nothing may escape into Qt's event loop.
    try {
        if (!helpWindow) {
            helpWindow = new TfrmHelp(*help, owner);
        }
        helpWindow->ShowOver(owner);
        helpWindow->ShowContext(contextId);
    } catch (const std::exception&) {
        // Help never stops the window that asked for it; without memory for the window there is
        // nothing better to show.
    }
}

TfrmHelp* HelpWindow() {
    return helpWindow.data();
}

}  // namespace tarnwick
