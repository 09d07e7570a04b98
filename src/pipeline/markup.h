// Reading the markup of a page: the byte classes, tags and their names, script and style
// elements, entity references and attribute values, for the page parser's readers. The parser
// collects the words; this says where markup starts and ends.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "pipeline/byte_scan.h"
#include "support/ansi_case.h"

namespace tarnwick::markup {

// Byte classes of a page: control characters 0x00-0x1F; blanks are those and the space.
inline bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20;
}
inline bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// Whether the bytes at `at` are `text` (lower case ASCII), ASCII letters in either case.
inline bool MatchesAt(std::string_view raw, size_t at, std::string_view text) {
    return at <= raw.size() && raw.size() - at >= text.size() &&
           EqualsAsciiNoCase(raw.substr(at, text.size()), text);
}

// The first position from `from` at which `text` stands, its ASCII letters in either case, or
// npos.
size_t FindNoCase(std::string_view raw, std::string_view text, size_t from);

// The first position from `from` that holds `c`, or npos.
inline size_t Find(std::string_view raw, char c, size_t from) {
    if (from >= raw.size()) {
        return std::string_view::npos;
    }
    const void* hit = std::memchr(raw.data() + from, c, raw.size() - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - raw.data())
               : std::string_view::npos;
}

// The element whose content is code, not text, opened by the "<" at `at`: "script" or "style"
// directly after the "<", then a blank, "/", ">" or the end of the page. Empty when none.
inline std::string_view CodeElementAt(std::string_view raw, size_t at) {
    // Most tags are not these two; "<s" followed by "c" or "t" is rare enough to check fully.
    if (at + 2 >= raw.size() || (raw[at + 1] | 0x20) != 's' ||
        ((raw[at + 2] | 0x20) != 'c' && (raw[at + 2] | 0x20) != 't')) {
        return {};
    }
    for (std::string_view name : {std::string_view("script"), std::string_view("style")}) {
        if (!MatchesAt(raw, at + 1, name)) {
            continue;
        }
        const size_t after = at + 1 + name.size();
        if (after == raw.size() || IsBlank(raw[after]) || raw[after] == '/' || raw[after] == '>') {
            return name;
        }
    }
    return {};
}

// The position after the script or style element `code` whose "<" stands at `j`: after the ">"
// of its end tag, or the end of the page.
size_t SkipCodeElement(std::string_view raw, size_t j, std::string_view code);

// The position after the markup that starts at `j` (a "<" or an "&"): a tag, a whole script or
// style element, or an entity reference. Without its end the markup runs to the end of the page.
// Inline, as the body reader meets markup every few words; the rare code element is not.
[[gnu::always_inline]] inline size_t SkipMarkup(std::string_view raw, size_t j) {
    // Only "<s" can open a script or style element.
    if (raw[j] == '<' && j + 1 < raw.size() && (raw[j + 1] | 0x20) == 's') {
        const std::string_view code = CodeElementAt(raw, j);
        if (!code.empty()) {
            return SkipCodeElement(raw, j, code);
        }
    }
    // A tag ends at the next ">", an entity reference at the next ";".
    const char* const last = raw.data() + raw.size();
    const char* const close = scan::FindByte(raw.data() + j + 1, last, raw[j] == '&' ? ';' : '>');
    return close == last ? raw.size() : static_cast<size_t>(close - raw.data()) + 1;
}

// ReadTagName: the name of the tag whose "<" stands at `pos` (attributes are not part of it);
// leaves `pos` after the tag's ">" (or at the end of the page). Only positions below `limit`
// are read for the name.
std::string_view ReadTagName(std::string_view raw, size_t& pos, size_t limit);

// One attribute-matching round of the keyword and description readers: from one byte after
// `pos`, examine position after position; at each, skip the bytes in `skip`, give up at a ">"
// when `stopAtClose` is set, and compare with `text`. Returns the position after the match,
// kGiveUp at a ">", or npos at the end of the page.
constexpr size_t kGiveUp = std::string_view::npos - 1;
size_t FindAttribute(std::string_view raw, size_t pos, std::string_view text, std::string_view skip,
                     bool stopAtClose);

}  // namespace tarnwick::markup
