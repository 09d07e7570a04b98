// Upper and lower case of Windows-1252 text, byte by byte, as Windows' ANSI case mapping does it,
// and lower case of text in a project's code page. Used where Tarnwick changes the case of stored
// text (mnemonics, header guards, words moved to an exclude list, the container's hash) - never
// for deciding whether two words are the same.
#pragma once

#include <string>
#include <string_view>

#include "platform/system_text.h"  // EqualsAsciiNoCase

namespace tarnwick {

class TCodePage;

unsigned char AnsiUpper(unsigned char byte);
unsigned char AnsiLower(unsigned char byte);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

// The text in lower case, whole characters of `codePage` at a time: Windows-1252 as
// AnsiLowerCase does it; in the other code pages each character becomes its lower-case letter
// (ICU's simple mapping) when the code page has one for it, else keeps its bytes. A double-byte
// character is never taken apart, so its trail byte stays whatever ASCII letter it looks like.
std::string LowerCase(std::string_view text, const TCodePage& codePage);

}  // namespace tarnwick
