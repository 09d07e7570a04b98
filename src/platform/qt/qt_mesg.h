// TMesg shown as a QMessageBox: the style picks icon and buttons, the result is the button's
// Windows number. Texts are bytes in the code page of TMesg::CodePage and are decoded only here.
#pragma once

#include "support/message.h"

namespace tarnwick {

class TQtMesg : public TMesg {
protected:
    int ShowBox(const std::string& text, const std::string& caption, unsigned style,
                WindowHandle owner) override;
};

}  // namespace tarnwick
