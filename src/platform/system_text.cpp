#include "platform/system_text.h"

#include <cerrno>
#include <cstring>

namespace tarnwick {

std::string SystemErrorText(int code) {
    if (code == 0) {
        code = errno;
    }
    char buffer[512];
    // The GNU strerror_r returns its text, which may or may not be in the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x += 0x20;
        if (y >= 'A' && y <= 'Z')
            y += 0x20;
        if (x != y) {
            return false;
        }
    }
    return true;
}

}  // namespace tarnwick
