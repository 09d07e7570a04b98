#include "ui/help.h"

#include <QPointer>
#include <QWidget>
#include <exception>
#include <memory>

#include "app/compiled_help.h"
#include "app/program_folders.h"
#include "help/html_help.h"
#include "platform/os.h"
#include "support/message.h"
#include "support/utils.h"
#include "ui/help_viewer.h"
#include "ui/message_text.h"
#include "ui/qt_text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kHelpFileName = "Tarnwick.chm";
constexpr std::string_view kLoadFailure =
    "Failure loading the help file,\nTarnwick help will not be available.\n\n";

// The one help window; Qt clears the pointer when the window's owner takes it along.
QPointer<TfrmHelp> helpWindow;
// The window of a project's compiled help, which holds its file; gone when closed.
QPointer<TfrmHelp> projectWindow;

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

bool ViewCompiledHelp(QWidget* owner, const std::string& chmFile, const TCodePage& codePage) {
    const std::string name = MessageName(chmFile);
    if (!FileExists(chmFile)) {
        Mesg().Show("The compiled help file \"" + name +
                        "\" was not found.\n\nCompile the help project to make it.",
                    kMbError, owner);
        return false;
    }
    // Shown from menu handlers: nothing may escape into Qt's event loop.
    try {
        auto help = std::make_unique<CHtmlHelp>(chmFile);
        // A window already open gives way to the file as it is now, in the same place.
        const QPointer<TfrmHelp> previous = projectWindow;
        const bool wasOpen = previous && previous->isVisible();
        const QRect frame = previous ? previous->geometry() : QRect();
        auto* window =
            new TfrmHelp(std::move(help), owner, codePage, PathToQt(SplitPath(chmFile).NameExt));
        window->setObjectName(QStringLiteral("frmProjectHelp"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        delete previous.data();
        projectWindow = window;
        window->ShowOver(owner);
        window->ShowHome();
        if (wasOpen) {
            window->setGeometry(frame);
        }
        return true;
    } catch (const HtmlError& e) {
        const std::string why = e.Code() == kHtmlBadHelpFile
                                    ? std::string("It is not a compiled help file.")
                                    : e.Text();
        Mesg().Show("The compiled help file \"" + name + "\" could not be read.\n\n" + why,
                    kMbError, owner);
    } catch (const std::exception& e) {
        Mesg().Show("The compiled help file \"" + name + "\" could not be shown.\n\n" +
                        MessageName(e.what()),
                    kMbError, owner);
    }
    return false;
}

bool ViewProjectHelp(QWidget* owner, const std::string& projectFile, const TCodePage& codePage) {
    std::string chmFile;
    try {
        chmFile = CompiledHelpFile(projectFile);
    } catch (const std::exception& e) {
        Mesg().Show(MessageName(e.what()), kMbError, owner);
        return false;
    }
    return ViewCompiledHelp(owner, chmFile, codePage);
}

TfrmHelp* ProjectHelpWindow() {
    return projectWindow.data();
}

}  // namespace tarnwick
