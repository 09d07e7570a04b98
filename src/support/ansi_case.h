// Upper and lower case of Windows-1252 text, byte by byte, as Windows' ANSI case mapping does it.
// Used where Tarnwick changes the case of stored text (mnemonics, header guards, words moved to an
// exclude list, the container's hash) - never for deciding whether two words are the same.
#pragma once

#include <string>
#include <string_view>

#include "platform/system_text.h"  // EqualsAsciiNoCase

namespace tarnwick {

unsigned char AnsiUpper(unsigned char byte);
unsigned char AnsiLower(unsigned char byte);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

}  // namespace tarnwick
