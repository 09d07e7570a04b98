// Sitemap files as help compilers and Tarnwick write them, for example:
//
//   <UL>
//     <LI> <OBJECT type="text/sitemap">
//            <param name="Name" value="Building the index">
//            <param name="Local" value="html\building.htm">
//          </OBJECT>
//     <UL> ... entries one level down ... </UL>
//   </UL>
//
// A keyword index may hold several "Local" parameters in one entry, each optionally preceded by
// a further "Name" that titles it, and Tarnwick's own index writes one entry per word and topic.
#include "help/help_sitemap.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "support/ansi_case.h"
#include "support/cp1252.h"

namespace tarnwick {
namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':' || c == '/' || c == '!';
}

struct TTag {
    std::string Name;  // "UL", "/object", ...
    std::vector<std::pair<std::string, std::string>> Attributes;

    std::optional<std::string> Attribute(std::string_view name) const {
        for (const auto& [key, value] : Attributes) {
            if (EqualsAsciiNoCase(key, name)) {
                return value;
            }
        }
        return std::nullopt;
    }
};

// Reads the tag that starts at `at` (a "<"); leaves `at` after its ">" (or at the end).
TTag ReadTag(std::string_view text, size_t& at) {
    TTag tag;
    ++at;
    while (at < text.size() && IsNameChar(text[at])) {
        tag.Name += text[at++];
    }
    while (at < text.size() && text[at] != '>') {
        if (IsBlank(text[at])) {
            ++at;
            continue;
        }
        std::string key;
        while (at < text.size() && !IsBlank(text[at]) && text[at] != '=' && text[at] != '>') {
            key += text[at++];
        }
        while (at < text.size() && IsBlank(text[at])) {
            ++at;
        }
        std::string value;
        if (at < text.size() && text[at] == '=') {
            ++at;
            while (at < text.size() && IsBlank(text[at])) {
                ++at;
            }
            if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
                const char quote = text[at++];
                const size_t end = text.find(quote, at);
                const size_t stop = end == std::string_view::npos ? text.size() : end;
                value = text.substr(at, stop - at);
                at = end == std::string_view::npos ? text.size() : end + 1;
            } else {
                while (at < text.size() && !IsBlank(text[at]) && text[at] != '>') {
                    value += text[at++];
                }
            }
        }
        if (key.empty()) {
            ++at;  // a stray byte such as a lone quote
            continue;
        }
        tag.Attributes.emplace_back(std::move(key), DecodeEntities(value));
    }
    if (at < text.size()) {
        ++at;
    }
    return tag;
}

std::optional<unsigned char> NamedEntity(std::string_view name) {
    static constexpr std::pair<std::string_view, char32_t> kNames[] = {
        {"amp", U'&'},     {"lt", U'<'},      {"gt", U'>'},       {"quot", U'"'},
        {"apos", U'\''},   {"nbsp", 0xA0},    {"copy", 0xA9},     {"reg", 0xAE},
        {"ndash", 0x2013}, {"mdash", 0x2014}, {"hellip", 0x2026}, {"lsquo", 0x2018},
        {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D},  {"eacute", 0xE9},
    };
    for (const auto& [key, codePoint] : kNames) {
        if (key == name) {
            return UnicodeToCp1252(codePoint);
        }
    }
    return std::nullopt;
}

std::optional<unsigned char> NumericEntity(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    int base = 10;
    if (digits[0] == 'x' || digits[0] == 'X') {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    if (value == 0) {
        return std::nullopt;
    }
    return UnicodeToCp1252(value);
}

}  // namespace

std::string DecodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const size_t amp = text.find('&', at);
        if (amp == std::string_view::npos) {
            out += text.substr(at);
            break;
        }
        out += text.substr(at, amp - at);
        const size_t semi = text.find(';', amp);
        std::optional<unsigned char> byte;
        if (semi != std::string_view::npos && semi - amp <= 10) {
            const std::string_view name = text.substr(amp + 1, semi - amp - 1);
            byte =
                !name.empty() && name[0] == '#' ? NumericEntity(name.substr(1)) : NamedEntity(name);
        }
        if (byte) {
            out += static_cast<char>(*byte);
            at = semi + 1;
        } else {
            out += '&';
            at = amp + 1;
        }
    }
    return out;
}

std::vector<TSitemapEntry> ReadSitemap(std::string_view bytes) {
    std::vector<TSitemapEntry> entries;
    int listDepth = 0;
    std::optional<TSitemapEntry> open;
    std::string pendingTitle;
    auto finish = [&]() {
        if (open && (!open->Name.empty() || !open->Topics.empty())) {
            entries.push_back(std::move(*open));
        }
        open.reset();
        pendingTitle.clear();
    };
    size_t at = 0;
    while ((at = bytes.find('<', at)) != std::string_view::npos) {
        if (bytes.substr(at, 4) == "<!--") {
            const size_t end = bytes.find("-->", at + 4);
            at = end == std::string_view::npos ? bytes.size() : end + 3;
            continue;
        }
        const TTag tag = ReadTag(bytes, at);
        if (EqualsAsciiNoCase(tag.Name, "UL")) {
            finish();
            ++listDepth;
        } else if (EqualsAsciiNoCase(tag.Name, "/UL")) {
            finish();
            listDepth = listDepth > 0 ? listDepth - 1 : 0;
        } else if (EqualsAsciiNoCase(tag.Name, "OBJECT")) {
            finish();
            const auto type = tag.Attribute("type");
            if (type && EqualsAsciiNoCase(*type, "text/sitemap")) {
                open.emplace();
                open->Depth = listDepth > 0 ? listDepth - 1 : 0;
            }
        } else if (EqualsAsciiNoCase(tag.Name, "/OBJECT")) {
            finish();
        } else if (open && EqualsAsciiNoCase(tag.Name, "PARAM")) {
            const auto name = tag.Attribute("name");
            const std::string value = tag.Attribute("value").value_or("");
            if (!name) {
                continue;
            }
            if (EqualsAsciiNoCase(*name, "Name")) {
                if (open->Name.empty()) {
                    open->Name = value;
                } else {
                    pendingTitle = value;
                }
            } else if (EqualsAsciiNoCase(*name, "Local")) {
                open->Topics.push_back({std::exchange(pendingTitle, {}), value});
            }
        }
    }
    finish();
    return entries;
}

std::string ReadPageTitle(std::string_view page) {
    size_t at = 0;
    while ((at = page.find('<', at)) != std::string_view::npos) {
        const TTag tag = ReadTag(page, at);
        if (!EqualsAsciiNoCase(tag.Name, "title")) {
            continue;
        }
        size_t end = at;
        while ((end = page.find('<', end)) != std::string_view::npos) {
            size_t after = end;
            if (EqualsAsciiNoCase(ReadTag(page, after).Name, "/title")) {
                break;
            }
            ++end;
        }
        const std::string raw = DecodeEntities(
            page.substr(at, (end == std::string_view::npos ? page.size() : end) - at));
        std::string title;
        for (const char c : raw) {
            if (IsBlank(c)) {
                if (!title.empty() && title.back() != ' ') {
                    title += ' ';
                }
            } else {
                title += c;
            }
        }
        if (!title.empty() && title.back() == ' ') {
            title.pop_back();
        }
        return title;
    }
    return {};
}

}  // namespace tarnwick
