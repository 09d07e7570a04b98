#include "support/message.h"

#include <cstdio>

namespace tarnwick {
namespace {

TMesg* installed = nullptr;

}  // namespace

int TMesg::Show(std::string_view text, unsigned style, WindowHandle window) {
    return ShowCaptioned(text, Caption, style, window);
}

int TMesg::ShowCaptioned(std::string_view text, std::string_view caption, unsigned style,
                         WindowHandle window) {
    return ShowBox(std::string(text), std::string(caption), style, window ? window : Owner);
}

int TConsoleMesg::ShowBox(const std::string& text, const std::string& caption, unsigned style,
                          WindowHandle /*owner*/) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    return UnattendedAnswer(style);
}

int UnattendedAnswer(unsigned style) {
    switch (style & 0x0F) {
        case 0x03:  // Yes, No, Cancel
            return kIdCancel;
        case 0x04:  // Yes, No
            return kIdNo;
        default:
            return kIdOk;
    }
}

TMesg& Mesg() {
    static TConsoleMesg console;
    return installed ? *installed : console;
}

void SetMesg(TMesg* mesg) {
    installed = mesg;
}

}  // namespace tarnwick
