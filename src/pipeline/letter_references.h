// Character references that stand for a letter or digit: "&eacute;" in "d&eacute;bris" is part of
// the word, not a break in it. A reference counts when it is an HTML 4 named reference (case
// matters, ";" required), "&#NNN;" or "&#xHH;", its character is a letter or decimal digit, and the
// project's code page has that character; then it stands for the character's bytes in that code
// page. Every other "&" keeps the markup reader's treatment.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class TCodePage;

// The letter references of one code page. Built once per code page and never changed after, so
// every thread may use one at once.
class TLetterReferences {
public:
    // The references of `codePage`, made on first use and kept for the life of the process.
    static const TLetterReferences& For(const TCodePage& codePage);

    // When a letter reference starts at `at` (an "&"), appends its bytes to `out` and returns its
    // length up to and including the ";"; otherwise returns 0 and leaves `out` alone. Pages are
    // full of references to other characters ("&lt;", "&nbsp;", "&#160;"); they are turned away
    // after a look at their first letters.
    size_t Append(std::string_view raw, size_t at, std::string& out) const;

    // The text with every letter reference replaced by its bytes, into `out`; false when the
    // text holds none (most texts hold no "&" at all), and then `out` is of no use.
    bool Replace(std::string_view text, std::string& out) const;

    TLetterReferences(const TLetterReferences&) = delete;
    TLetterReferences& operator=(const TLetterReferences&) = delete;

private:
    explicit TLetterReferences(const TCodePage& codePage);
    size_t AppendNumeric(std::string_view raw, size_t at, std::string& out) const;

    // A named reference whose letter the code page has, with that letter's bytes.
    struct TNamed {
        std::string_view Name;
        std::string Bytes;
    };
    const TCodePage& codePage_;
    // By the first letter of the name (names are ASCII letters and digits).
    std::vector<TNamed> named_[128];
};

}  // namespace tarnwick
