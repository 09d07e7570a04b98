#include "support/ansi_case.h"

#include <unicode/uchar.h>

#include <array>

#include "support/code_page.h"

namespace tarnwick {
namespace {

struct CaseTables {
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};

    constexpr CaseTables() {
        for (unsigned i = 0; i < 256; ++i) {
            upper[i] = lower[i] = static_cast<unsigned char>(i);
        }
        auto pair = [this](unsigned up, unsigned low) {
            upper[low] = static_cast<unsigned char>(up);
            lower[up] = static_cast<unsigned char>(low);
        };
        for (unsigned c = 'A'; c <= 'Z'; ++c) {
            pair(c, c + 0x20);
        }
        for (unsigned c = 0xC0; c <= 0xDE; ++c) {
            if (c != 0xD7) {  // multiplication and division signs have no case
                pair(c, c + 0x20);
            }
        }
        pair(0x8A, 0x9A);  // S caron
        pair(0x8C, 0x9C);  // OE ligature
        pair(0x8E, 0x9E);  // Z caron
        pair(0x9F, 0xFF);  // Y diaeresis
    }
};

constexpr CaseTables kCase;

}  // namespace

unsigned char AnsiUpper(unsigned char byte) {
    return kCase.upper[byte];
}
unsigned char AnsiLower(unsigned char byte) {
    return kCase.lower[byte];
}

std::string AnsiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(AnsiUpper(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string AnsiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(AnsiLower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string LowerCase(std::string_view text, const TCodePage& codePage) {
    if (codePage.Number() == 1252) {
        // Windows-1252 words are lowered as they always were.
        return AnsiLowerCase(text);
    }
    // The Windows-1252 table would be wrong elsewhere even byte for byte: in Windows-1251 it
    // leaves the capitals Ch and Ya (0xD7, 0xDF) as they are and turns the small dzhe (0x9F)
    // into ya (0xFF).
    std::string out;
    out.reserve(text.size());
    const char* const end = text.data() + text.size();
    for (const char* p = text.data(); p < end;) {
        const size_t length = codePage.CharLength(p, end);
        const char16_t unit = codePage.CharAt(p, length);
        const UChar32 lower = unit == 0 ? 0 : u_tolower(unit);
        if (lower == unit || !codePage.AppendChar(static_cast<char32_t>(lower), out)) {
            out.append(p, length);
        }
        p += length;
    }
    return out;
}

}  // namespace tarnwick
