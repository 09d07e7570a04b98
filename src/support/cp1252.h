// Windows-1252, the code page of everything outside a help project, as one table: TCodePage
// builds its Windows-1252 from it, and Tarnwick's own help is read with it.
#pragma once

#include <optional>

namespace tarnwick {

// The UTF-16 code unit of one Windows-1252 byte. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the C1 control of the same number.
char16_t Cp1252ToUnicode(unsigned char byte);

// The Windows-1252 byte of a code point, or nothing when Windows-1252 cannot hold it.
std::optional<unsigned char> UnicodeToCp1252(char32_t codePoint);

}  // namespace tarnwick
