// TMesg: the program-wide message box. Every message the user sees goes through it, so that the
// desktop program shows a real box, the command line prints to stderr and tests answer from a
// script. The core reaches it through Mesg(); it never opens a window itself.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Message box styles, with the numbers of the Windows style bits the program's texts were
// written for.
enum MessageStyle : unsigned {
    kMbError = 0x10,        // error icon, OK
    kMbInformation = 0x40,  // information icon, OK
    kMbYesNo = 0x24,        // question icon, Yes and No
    kMbYesNoCancel = 0x23,  // question icon, Yes, No and Cancel
};

// The button pressed, with the Windows numbers.
enum MessageButton : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// An opaque window: the GUI passes its QWidget*, the core only hands it on.
using WindowHandle = void*;

class TMesg {
public:
    explicit TMesg(WindowHandle owner = nullptr) : Owner(owner) {}
    virtual ~TMesg() = default;

    // Shows the text under Caption and returns the button pressed. `window` owns the box; when
    // null the implementation picks the active window, then Owner.
    int Show(std::string_view text, unsigned style, WindowHandle window = nullptr);
    // The same with a caption of its own ("System Error" for folder failures).
    int ShowCaptioned(std::string_view text, std::string_view caption, unsigned style,
                      WindowHandle window = nullptr);

    WindowHandle Owner;
    std::string Caption = "Tarnwick";
    // The code page the texts are in: the open project's, whose words and names messages quote
    // (Windows-1252 when none is open; the program's own texts are ASCII, the same in every code
    // page). The desktop program sets it as projects open and close; a box decodes with it.
    int CodePage = 1252;

protected:
    virtual int ShowBox(const std::string& text, const std::string& caption, unsigned style,
                        WindowHandle owner) = 0;
};

// The button that changes nothing, for a box nobody can answer: OK, and for questions No, or
// Cancel where there is one.
int UnattendedAnswer(unsigned style);

// Writes each message to stderr as "caption: text" and answers without asking: OK, and for
// questions the answer that changes nothing (No, or Cancel where there is one).
class TConsoleMesg : public TMesg {
protected:
    int ShowBox(const std::string& text, const std::string& caption, unsigned style,
                WindowHandle owner) override;
};

// The program-wide message box; a console one until the program installs its own. The caller
// keeps ownership of what it installs and must uninstall it (pass nullptr) before destroying it.
TMesg& Mesg();
void SetMesg(TMesg* mesg);

}  // namespace tarnwick
