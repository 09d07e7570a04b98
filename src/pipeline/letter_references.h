// Character references that stand for a letter or digit: "&eacute;" in "d&eacute;bris" is part of
// the word, not a break in it. A reference counts when it is an HTML 4 named reference (case
// matters, ";" required), "&#NNN;" or "&#xHH;", its character is a letter or decimal digit, and the
// project's code page has that character; then it stands for the character's bytes in that code
// page. Every other "&" keeps the markup reader's treatment.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

class TCodePage;

// When a letter reference starts at `at` (an "&"), appends its bytes to `out` and returns its
// length up to and including the ";"; otherwise returns 0 and leaves `out` alone.
size_t AppendLetterReference(std::string_view raw, size_t at, const TCodePage& codePage,
                             std::string& out);

// The text with every letter reference replaced by its bytes, into `out`; false when the text
// holds none (most texts hold no "&" at all), and then `out` is of no use.
bool ReplaceLetterReferences(std::string_view text, const TCodePage& codePage, std::string& out);

}  // namespace tarnwick
