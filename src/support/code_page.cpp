#include "support/code_page.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include <map>
#include <mutex>
#include <stdexcept>

#include "support/cp1252.h"

namespace tarnwick {
namespace {

// ICU's converter for each Windows code page Tarnwick knows.
const char* ConverterName(int number) {
    switch (number) {
        case 874:
            return "windows-874";
        case 932:
            return "windows-932";
        case 936:
            return "windows-936";
        case 949:
            return "windows-949";
        case 950:
            return "windows-950";
        case 1250:
            return "windows-1250";
        case 1251:
            return "windows-1251";
        case 1253:
            return "windows-1253";
        case 1254:
            return "windows-1254";
        case 1255:
            return "windows-1255";
        case 1256:
            return "windows-1256";
        case 1257:
            return "windows-1257";
        case 1258:
            return "windows-1258";
        default:
            return nullptr;
    }
}

class TConverter {
public:
    explicit TConverter(const char* name) {
        UErrorCode status = U_ZERO_ERROR;
        converter_ = ucnv_open(name, &status);
        if (U_FAILURE(status)) {
            throw std::runtime_error(std::string("Cannot open the converter for ") + name + ": " +
                                     u_errorName(status));
        }
        status = U_ZERO_ERROR;
        ucnv_setToUCallBack(converter_, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                            &status);
        ucnv_setFromUCallBack(converter_, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                              &status);
    }
    ~TConverter() { ucnv_close(converter_); }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    // The one BMP code unit the bytes decode to, or 0; `truncated` tells a lead byte that
    // waits for its trail.
    char16_t ToUnit(const char* bytes, int length, bool* truncated = nullptr) {
        UChar out[4];
        UErrorCode status = U_ZERO_ERROR;
        ucnv_resetToUnicode(converter_);
        const int32_t n = ucnv_toUChars(converter_, out, 4, bytes, length, &status);
        if (truncated) {
            *truncated = status == U_TRUNCATED_CHAR_FOUND;
        }
        return U_SUCCESS(status) && n == 1 ? out[0] : 0;
    }

    // The bytes the code page writes for a code unit (at most two), or 0 bytes.
    int FromUnit(char16_t unit, char bytes[4]) {
        UErrorCode status = U_ZERO_ERROR;
        ucnv_resetFromUnicode(converter_);
        const UChar in[1] = {unit};
        const int32_t n = ucnv_fromUChars(converter_, bytes, 4, in, 1, &status);
        return U_SUCCESS(status) && n <= 2 ? n : 0;
    }

private:
    UConverter* converter_ = nullptr;
};

}  // namespace

const TCodePage::AlnumBits TCodePage::kAlnum = [] {
    AlnumBits bits{};
    for (UChar32 c = 0; c < 0x10000; ++c) {
        if (u_isalnum(c)) {
            bits.Bits[c >> 6] |= std::uint64_t{1} << (c & 63);
        }
    }
    return bits;
}();

const TCodePage& TCodePage::For(int number) {
    if (!ConverterName(number)) {
        number = 1252;
    }
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<TCodePage>> pages;
    const std::lock_guard lock(mutex);
    std::unique_ptr<TCodePage>& page = pages[number];
    if (!page) {
        page.reset(new TCodePage(number));
    }
    return *page;
}

TCodePage::TCodePage(int number) : number_(number) {
    encode_ = std::make_unique<std::uint16_t[]>(0x10000);
    if (number == 1252) {
        BuildWindows1252();
    } else {
        BuildFromConverter(ConverterName(number));
    }
    for (unsigned b = 0; b < 256; ++b) {
        singleAlphanumeric_[b] = !lead_[b] && IsAlphanumeric(single_[b]);
    }
}

void TCodePage::BuildWindows1252() {
    // The program's own table, so that words decode here exactly as everywhere else.
    for (unsigned b = 0; b < 256; ++b) {
        single_[b] = Cp1252ToUnicode(static_cast<unsigned char>(b));
        encode_[single_[b]] = static_cast<std::uint16_t>(b);
    }
}

void TCodePage::BuildFromConverter(const char* name) {
    TConverter converter(name);
    // The ASCII bytes are ASCII in every Windows code page; the bytes of the markup depend on it.
    for (unsigned b = 0; b < 0x80; ++b) {
        single_[b] = static_cast<char16_t>(b);
        encode_[b] = static_cast<std::uint16_t>(b);
    }
    for (unsigned b = 0x80; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        bool truncated = false;
        single_[b] = converter.ToUnit(&byte, 1, &truncated);
        lead_[b] = truncated;
        doubleByte_ = doubleByte_ || truncated;
    }
    if (doubleByte_) {
        pairs_ = std::make_unique<char16_t[]>(0x80 * 256);
        for (unsigned lead = 0x80; lead < 256; ++lead) {
            if (!lead_[lead]) {
                continue;
            }
            for (unsigned trail = 0x21; trail < 256; ++trail) {
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                const char16_t unit = converter.ToUnit(pair, 2);
                pairs_[((lead - 0x80) << 8) | trail] = unit;
                trail_[trail] = trail_[trail] || unit != 0;
            }
        }
    }
    // What the code page writes for each character it has: only its canonical bytes, so that a
    // character reached from two spellings is written one way, as Windows writes it.
    char bytes[4];
    auto record = [&](char16_t unit) {
        if (unit == 0 || encode_[unit] != 0) {
            return;
        }
        const int n = converter.FromUnit(unit, bytes);
        if (n == 1) {
            encode_[unit] = static_cast<unsigned char>(bytes[0]);
        } else if (n == 2) {
            encode_[unit] = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                                       static_cast<unsigned char>(bytes[1]));
        }
    };
    for (unsigned b = 0x80; b < 256; ++b) {
        record(single_[b]);
    }
    if (doubleByte_) {
        for (size_t i = 0; i < 0x80 * 256; ++i) {
            record(pairs_[i]);
        }
    }
}

bool TCodePage::IsCanonical(const char* p, size_t length, char16_t unit) const {
    const std::uint16_t written = encode_[unit];
    if (length == 1) {
        return written == static_cast<unsigned char>(p[0]);
    }
    return written == (static_cast<unsigned char>(p[0]) << 8 | static_cast<unsigned char>(p[1]));
}

char16_t TCodePage::StandIn(unsigned char byte) const {
    // The control character of the byte's number may stand in only where nothing else claims
    // it: the code page writes no character as it, and reads no character from that byte alone
    // (Windows-1252's 0x80 is the euro sign, so U+0080 must not become 0x80).
    const bool byteIsCharacter =
        !lead_[byte] && single_[byte] != 0 && encode_[single_[byte]] == byte;
    if (byte >= 0x80 && byte <= 0x9F && encode_[byte] == 0 && !byteIsCharacter) {
        return byte;
    }
    return static_cast<char16_t>(0xDC00 + byte);
}

std::string_view TCodePage::TrimDoubleByte(std::string_view text) const {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    // A trail byte may look like a character of its own, so the characters are only known from
    // the front: one pass finds the first and the last letter or digit.
    const char* first = nullptr;
    const char* last = begin;
    for (const char* p = begin; p < end;) {
        const size_t length = CharLength(p, end);
        if (IsAlphanumeric(CharAt(p, length))) {
            if (!first) {
                first = p;
            }
            last = p + length;
        }
        p += length;
    }
    return first ? std::string_view(first, static_cast<size_t>(last - first)) : std::string_view();
}

void TCodePage::AppendDecoded(std::string_view bytes, std::u16string& out) const {
    const char* const end = bytes.data() + bytes.size();
    if (!doubleByte_) {
        const size_t start = out.size();
        out.resize(start + bytes.size());
        char16_t* dst = out.data() + start;
        for (const char* p = bytes.data(); p < end; ++p) {
            const char16_t unit = single_[static_cast<unsigned char>(*p)];
            *dst++ = unit != 0 || *p == 0 ? unit : u'\uFFFD';
        }
        return;
    }
    for (const char* p = bytes.data(); p < end;) {
        const size_t length = CharLength(p, end);
        const char16_t unit = CharAt(p, length);
        out.push_back(unit != 0 || *p == 0 ? unit : u'\uFFFD');
        p += length;
    }
}

std::u16string TCodePage::DecodeShown(std::string_view bytes) const {
    std::u16string out;
    out.reserve(bytes.size());
    const char* const end = bytes.data() + bytes.size();
    for (const char* p = bytes.data(); p < end;) {
        const size_t length = CharLength(p, end);
        const char16_t unit = CharAt(p, length);
        if (*p == 0 || (unit != 0 && IsCanonical(p, length, unit))) {
            out.push_back(unit);
            p += length;
        } else {
            // Byte by byte: a trail byte of an undefined pair may be a character of its own.
            out.push_back(StandIn(static_cast<unsigned char>(*p)));
            ++p;
        }
    }
    return out;
}

bool TCodePage::EncodeShown(std::u16string_view text, std::string& out) const {
    out.clear();
    out.reserve(text.size());
    for (const char16_t unit : text) {
        if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out.push_back(static_cast<char>(unit - 0xDC00));
            continue;
        }
        const std::uint16_t written = encode_[unit];
        if (unit == 0) {
            out.push_back('\0');
        } else if (written > 0xFF) {
            out.push_back(static_cast<char>(written >> 8));
            out.push_back(static_cast<char>(written & 0xFF));
        } else if (written != 0) {
            out.push_back(static_cast<char>(written));
        } else if (unit >= 0x80 && unit <= 0x9F &&
                   StandIn(static_cast<unsigned char>(unit)) == unit) {
            out.push_back(static_cast<char>(unit));
        } else {
            return false;
        }
    }
    return true;
}

bool TCodePage::AppendChar(char32_t codePoint, std::string& out) const {
    if (codePoint == 0 || codePoint > 0xFFFF) {
        return false;
    }
    const std::uint16_t written = encode_[codePoint];
    if (written == 0) {
        return false;
    }
    if (written > 0xFF) {
        out.push_back(static_cast<char>(written >> 8));
    }
    out.push_back(static_cast<char>(written & 0xFF));
    return true;
}

}  // namespace tarnwick
