#include "support/code_pages.h"

#include <cstdint>

namespace tarnwick {
namespace {

struct TLocaleCodePage {
    unsigned Id;
    int CodePage;
};

// Traditional Chinese, and the Cyrillic variants of languages otherwise written in Latin letters.
constexpr TLocaleCodePage kFullIds[] = {
    {0x0404, 950},  {0x0C04, 950},  {0x1404, 950},  {0x082C, 1251}, {0x0843, 1251},
    {0x0C1A, 1251}, {0x1C1A, 1251}, {0x201A, 1251}, {0x281A, 1251}, {0x301A, 1251},
};

// By primary language.
constexpr TLocaleCodePage kPrimaryLanguages[] = {
    {0x04, 936},  {0x11, 932},  {0x12, 949},  {0x1E, 874},  {0x05, 1250}, {0x0E, 1250},
    {0x15, 1250}, {0x18, 1250}, {0x1A, 1250}, {0x1B, 1250}, {0x1C, 1250}, {0x24, 1250},
    {0x02, 1251}, {0x19, 1251}, {0x22, 1251}, {0x23, 1251}, {0x28, 1251}, {0x2F, 1251},
    {0x3F, 1251}, {0x40, 1251}, {0x44, 1251}, {0x50, 1251}, {0x08, 1253}, {0x1F, 1254},
    {0x2C, 1254}, {0x43, 1254}, {0x0D, 1255}, {0x01, 1256}, {0x20, 1256}, {0x29, 1256},
    {0x25, 1257}, {0x26, 1257}, {0x27, 1257}, {0x2A, 1258},
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

int CodePageOfLocale(unsigned localeId) {
    for (const TLocaleCodePage& entry : kFullIds) {
        if (entry.Id == localeId) {
            return entry.CodePage;
        }
    }
    const unsigned primary = localeId & 0x3FF;
    for (const TLocaleCodePage& entry : kPrimaryLanguages) {
        if (entry.Id == primary) {
            return entry.CodePage;
        }
    }
    return kDefaultCodePage;
}

int ProjectCodePage(std::string_view languageValue) {
    if (languageValue.size() >= 2 && languageValue[0] == '0' &&
        (languageValue[1] == 'x' || languageValue[1] == 'X')) {
        languageValue.remove_prefix(2);
    }
    std::uint64_t id = 0;
    size_t digits = 0;
    for (const char c : languageValue) {
        const int value = HexValue(c);
        if (value < 0) {
            break;
        }
        id = id * 16 + static_cast<unsigned>(value);
        // A locale ID is 32 bits; a longer number is no locale at all.
        if (++digits > 8) {
            return kDefaultCodePage;
        }
    }
    return digits == 0 ? kDefaultCodePage : CodePageOfLocale(static_cast<unsigned>(id));
}

}  // namespace tarnwick
