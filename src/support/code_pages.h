// The Windows ANSI code page a help project's text is written in, from the locale ID of its
// "Language" option. Windows-1252 stays the code page of everything outside a project.
#pragma once

#include <string_view>

namespace tarnwick {

inline constexpr int kDefaultCodePage = 1252;

// The code page of a Windows locale ID: the IDs whose code page differs from their primary
// language's first, then the primary language (the ID's low 10 bits); 1252 for any other.
int CodePageOfLocale(unsigned localeId);

// The code page of a project's "Language" value ("0x407 German (Germany)"): an optional "0x" or
// "0X" and hex digits, up to the first byte that is not one, read as a locale ID. 1252 when the
// value has no digits or more than a locale ID holds.
int ProjectCodePage(std::string_view languageValue);

}  // namespace tarnwick
