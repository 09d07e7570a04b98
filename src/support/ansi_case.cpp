#include "support/ansi_case.h"

#include <array>

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

}  // namespace tarnwick
