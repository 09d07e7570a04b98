// Windows-1252 text at the edge of the Unicode world.
// The core keeps every text as the bytes it read; these tables turn those bytes into UTF-16 for
// the collator and for Qt, and back again, so that every byte string round-trips unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The UTF-16 code unit of one Windows-1252 byte. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the C1 control of the same number.
char16_t Cp1252ToUnicode(unsigned char byte);

// The Windows-1252 byte of a code point, or nothing when Windows-1252 cannot hold it.
std::optional<unsigned char> UnicodeToCp1252(char32_t codePoint);

std::u16string DecodeCp1252(std::string_view bytes);
// Appends the decoded text to `out` (keeps `out`'s capacity: the hot paths reuse one buffer).
void AppendDecodedCp1252(std::string_view bytes, std::u16string& out);

// Encodes UTF-16 text. Returns false, leaving `out` unspecified, when a character cannot be held
// (the caller refuses the input rather than replace it).
bool EncodeCp1252(std::u16string_view text, std::string& out);

}  // namespace tarnwick
