// Upper and lower case of Windows-1252 text, byte by byte, as Windows' ANSI case mapping does it.
// Used where the design changes case of stored text (mnemonics, header guards, words moved to an
// exclude list, the container's hash) - never for deciding whether two words are the same.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

unsigned char AnsiUpper(unsigned char byte);
unsigned char AnsiLower(unsigned char byte);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

// ASCII letters compared without regard to case, every other byte exactly: the rule for fixed
// texts of a file format (section headers, key and attribute names).
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);

}  // namespace tarnwick
