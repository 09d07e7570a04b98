#include "pipeline/markup.h"

namespace tarnwick::markup {

size_t FindNoCase(std::string_view raw, std::string_view text, size_t from) {
    // Only the positions that hold the first byte of `text` (either case of a letter) are
    // compared.
    const char first = text[0];
    const char folded = static_cast<char>(first | 0x20);
    const bool letter = folded >= 'a' && folded <= 'z';
    while (from < raw.size()) {
        size_t at = from;
        if (letter) {
            while (at < raw.size() && static_cast<char>(raw[at] | 0x20) != folded) {
                ++at;
            }
            if (at == raw.size()) {
                return std::string_view::npos;
            }
        } else {
            const void* hit = std::memchr(raw.data() + from, first, raw.size() - from);
            if (!hit) {
                return std::string_view::npos;
            }
            at = static_cast<size_t>(static_cast<const char*>(hit) - raw.data());
        }
        if (MatchesAt(raw, at, text)) {
            return at;
        }
        from = at + 1;
    }
    return std::string_view::npos;
}

size_t SkipCodeElement(std::string_view raw, size_t j, std::string_view code) {
    size_t from = j + 1 + code.size();
    for (;;) {
        const size_t close = FindNoCase(raw, "</", from);
        if (close == std::string_view::npos) {
            return raw.size();
        }
        if (MatchesAt(raw, close + 2, code)) {
            const size_t end = Find(raw, '>', close + 2 + code.size());
            return end == std::string_view::npos ? raw.size() : end + 1;
        }
        from = close + 1;
    }
}

std::string_view ReadTagName(std::string_view raw, size_t& pos, size_t limit) {
    ++pos;
    while (pos < limit && IsBlank(raw[pos])) {
        ++pos;
    }
    const size_t start = pos;
    while (pos < limit && !IsBlank(raw[pos]) && raw[pos] != '>') {
        ++pos;
    }
    const std::string_view name = raw.substr(start, pos - start);
    if (pos < raw.size() && raw[pos] == '>') {
        ++pos;
    } else {
        const size_t close = Find(raw, '>', pos);
        pos = close == std::string_view::npos ? raw.size() : close + 1;
    }
    return name;
}

size_t FindAttribute(std::string_view raw, size_t pos, std::string_view text, std::string_view skip,
                     bool stopAtClose) {
    size_t p = pos;
    for (;;) {
        ++p;
        while (p < raw.size() && skip.find(raw[p]) != std::string_view::npos) {
            ++p;
        }
        if (p >= raw.size()) {
            return std::string_view::npos;
        }
        if (stopAtClose && raw[p] == '>') {
            return kGiveUp;
        }
        if (MatchesAt(raw, p, text)) {
            return p + text.size();
        }
    }
}

}  // namespace tarnwick::markup
