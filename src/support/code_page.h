// TCodePage: text in one Windows ANSI code page, as a help project holds it. It knows where each
// character of a byte string starts and ends (one byte, or a lead and a trail byte in the
// double-byte code pages of Chinese, Japanese and Korean), which characters are letters or
// digits, and how the bytes turn into UTF-16 and back. Its tables are built once per code page
// from ICU's converters and never change after, so every thread may use one object at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

class TCodePage {
public:
    // The code page of that number: 874, 932, 936, 949, 950 and 1250 to 1258; any other number
    // gives Windows-1252. Built on first use and kept for the life of the process.
    static const TCodePage& For(int number);
    static const TCodePage& Windows1252() { return For(1252); }

    int Number() const { return number_; }
    bool IsDoubleByte() const { return doubleByte_; }

    // The length of the character that starts at `p` (before `end`): 2 for a lead byte followed
    // by one of the code page's trail bytes, else 1. A lead byte at the end, or before a byte
    // that cannot follow it, is a character of its own.
    size_t CharLength(const char* p, const char* end) const {
        if (!doubleByte_ || end - p < 2 || !lead_[static_cast<unsigned char>(*p)]) {
            return 1;
        }
        return trail_[static_cast<unsigned char>(p[1])] ? 2 : 1;
    }

    // The UTF-16 code unit of the character of `length` bytes at `p` (as CharLength gave it), or
    // 0 when the code page gives it none (an undefined byte or pair). Every character of these
    // code pages lies in the Basic Multilingual Plane.
    char16_t CharAt(const char* p, size_t length) const {
        const auto first = static_cast<unsigned char>(p[0]);
        if (length == 1) {
            return single_[first];
        }
        return pairs_[(static_cast<size_t>(first - 0x80) << 8) | static_cast<unsigned char>(p[1])];
    }

    // Whether the character is a letter or a decimal digit (ICU's u_isalnum).
    static bool IsAlphanumeric(char16_t unit) {
        return (kAlnum.Bits[unit >> 6] >> (unit & 63)) & 1;
    }

    // The text without the whole characters at either end that are not letters or digits.
    // Inline for single-byte code pages, as the parser asks it for every word of every page.
    std::string_view TrimToAlphanumeric(std::string_view text) const {
        if (doubleByte_) {
            return TrimDoubleByte(text);
        }
        const char* first = text.data();
        const char* last = first + text.size();
        while (first < last && !singleAlphanumeric_[static_cast<unsigned char>(*first)]) {
            ++first;
        }
        while (last > first && !singleAlphanumeric_[static_cast<unsigned char>(last[-1])]) {
            --last;
        }
        return {first, static_cast<size_t>(last - first)};
    }

    // The text as UTF-16 for comparing words: every character its code unit; a byte of no
    // character as U+FFFD. Appends to `out`.
    void AppendDecoded(std::string_view bytes, std::u16string& out) const;

    // The text as UTF-16 for showing and editing, such that EncodeShown gives back the very
    // bytes: a byte that stands for no character here, or for one whose bytes the code page
    // would write otherwise, becomes a stand-in of its own (for 0x80 to 0x9F the control
    // character of that number when the code page does not use it, else U+DC00 plus the byte).
    std::u16string DecodeShown(std::string_view bytes) const;
    // Bytes for UTF-16 text, stand-ins included. False, leaving `out` unspecified, when a
    // character has no bytes in this code page (the caller refuses the input, never replaces it).
    bool EncodeShown(std::u16string_view text, std::string& out) const;

    // The bytes of one character in this code page appended to `out`, or false when it has none.
    bool AppendChar(char32_t codePoint, std::string& out) const;

    TCodePage(const TCodePage&) = delete;
    TCodePage& operator=(const TCodePage&) = delete;

private:
    explicit TCodePage(int number);
    std::string_view TrimDoubleByte(std::string_view text) const;
    void BuildWindows1252();
    void BuildFromConverter(const char* name);
    // The stand-in DecodeShown gives a byte that is no character of its own.
    char16_t StandIn(unsigned char byte) const;
    bool IsCanonical(const char* p, size_t length, char16_t unit) const;

    struct AlnumBits {
        std::uint64_t Bits[65536 / 64];
    };
    static const AlnumBits kAlnum;

    int number_;
    bool doubleByte_ = false;
    bool lead_[256] = {};
    // Whether each byte is a letter or digit as a character of its own.
    bool singleAlphanumeric_[256] = {};
    bool trail_[256] = {};
    char16_t single_[256] = {};
    // For a lead byte L and a trail byte T: pairs_[(L - 0x80) * 256 + T]. Empty for single-byte
    // code pages.
    std::unique_ptr<char16_t[]> pairs_;
    // The bytes the code page writes for a BMP code unit: 0 for none (U+0000 is the byte 0), a
    // single byte as itself, a pair as lead * 256 + trail.
    std::unique_ptr<std::uint16_t[]> encode_;
};

}  // namespace tarnwick
