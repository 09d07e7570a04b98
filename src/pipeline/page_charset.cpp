#include "pipeline/page_charset.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {
namespace {

// The charsets pages are written in, by the names browsers give them; each with the ICU
// converter that reads it (none: the page stays as it is) and the Windows code page that is the
// very same charset (0: none), for which a page in a project of that code page needs nothing.
struct TCharset {
    std::string_view Name;
    const char* Converter;
    int CodePage;
    bool SingleByte = false;  // one byte, one character: read through a table of 128 entries
};

enum Charset : size_t {
    kUtf8,
    kIbm866,
    kIso8859_2,
    kIso8859_3,
    kIso8859_4,
    kIso8859_5,
    kIso8859_6,
    kIso8859_7,
    kIso8859_8,
    kIso8859_8I,
    kIso8859_10,
    kIso8859_13,
    kIso8859_14,
    kIso8859_15,
    kIso8859_16,
    kKoi8R,
    kKoi8U,
    kMacintosh,
    kWindows874,
    kWindows1250,
    kWindows1251,
    kWindows1252,
    kWindows1253,
    kWindows1254,
    kWindows1255,
    kWindows1256,
    kWindows1257,
    kWindows1258,
    kMacCyrillic,
    kGbk,
    kGb18030,
    kBig5,
    kEucJp,
    kIso2022Jp,
    kShiftJis,
    kEucKr,
    kReplacement,
    kUtf16Be,
    kUtf16Le,
    kUserDefined,
    kCharsetCount
};

constexpr size_t kNone = kCharsetCount;

// Big5 pages are read with the Hong Kong extension that browsers read them with; GBK pages with
// GB18030, which browsers use to read both. The 2022-style charsets of Korean and Chinese mean
// nothing readable ("replacement"), and user-defined bytes are never declared by a page that
// this reaches (the scan reads them as Windows-1252).
constexpr std::array<TCharset, kCharsetCount> kCharsets = {{
    {"UTF-8", "UTF-8", 0},
    {"IBM866", "ibm-866_P100-1995", 0, true},
    {"ISO-8859-2", "ibm-912_P100-1995", 0, true},
    {"ISO-8859-3", "ibm-913_P100-2000", 0, true},
    {"ISO-8859-4", "ibm-914_P100-1995", 0, true},
    {"ISO-8859-5", "ibm-915_P100-1995", 0, true},
    {"ISO-8859-6", "ibm-1089_P100-1995", 0, true},
    {"ISO-8859-7", "ibm-9005_X110-2007", 0, true},
    {"ISO-8859-8", "ibm-5012_P100-1999", 0, true},
    {"ISO-8859-8-I", "ibm-5012_P100-1999", 0, true},
    {"ISO-8859-10", "iso-8859_10-1998", 0, true},
    {"ISO-8859-13", "ibm-921_P100-1995", 0, true},
    {"ISO-8859-14", "iso-8859_14-1998", 0, true},
    {"ISO-8859-15", "ibm-923_P100-1998", 0, true},
    {"ISO-8859-16", "iso-8859_16-2001", 0, true},
    {"KOI8-R", "ibm-878_P100-1996", 0, true},
    {"KOI8-U", "ibm-1168_P100-2002", 0, true},
    {"macintosh", "macos-0_2-10.2", 0, true},
    {"windows-874", "windows-874-2000", 874, true},
    {"windows-1250", "ibm-5346_P100-1998", 1250, true},
    {"windows-1251", "ibm-5347_P100-1998", 1251, true},
    {"windows-1252", "ibm-5348_P100-1997", 1252, true},
    {"windows-1253", "ibm-5349_P100-1998", 1253, true},
    {"windows-1254", "ibm-5350_P100-1998", 1254, true},
    {"windows-1255", "ibm-9447_P100-2002", 1255, true},
    {"windows-1256", "ibm-9448_X100-2005", 1256, true},
    {"windows-1257", "ibm-9449_P100-2002", 1257, true},
    {"windows-1258", "ibm-5354_P100-1998", 1258, true},
    {"x-mac-cyrillic", "macos-7_3-10.2", 0, true},
    {"GBK", "gb18030", 936},
    {"gb18030", "gb18030", 0},
    {"Big5", "ibm-1375_P100-2008", 950},
    {"EUC-JP", "euc-jp-2007", 0},
    {"ISO-2022-JP", "ISO_2022,locale=ja,version=0", 0},
    {"Shift_JIS", "ibm-943_P15A-2003", 932},
    {"EUC-KR", "windows-949-2000", 949},
    {"replacement", nullptr, 0},
    {"UTF-16BE", "UTF-16BE", 0},
    {"UTF-16LE", "UTF-16LE", 0},
    {"x-user-defined", nullptr, 0},
}};

struct TLabel {
    std::string_view Label;
    Charset Target;
};

// Every label browsers know, in lower case.
constexpr TLabel kLabels[] = {
    {"unicode-1-1-utf-8", kUtf8},
    {"unicode11utf8", kUtf8},
    {"unicode20utf8", kUtf8},
    {"utf-8", kUtf8},
    {"utf8", kUtf8},
    {"x-unicode20utf8", kUtf8},
    {"866", kIbm866},
    {"cp866", kIbm866},
    {"csibm866", kIbm866},
    {"ibm866", kIbm866},
    {"csisolatin2", kIso8859_2},
    {"iso-8859-2", kIso8859_2},
    {"iso-ir-101", kIso8859_2},
    {"iso8859-2", kIso8859_2},
    {"iso88592", kIso8859_2},
    {"iso_8859-2", kIso8859_2},
    {"iso_8859-2:1987", kIso8859_2},
    {"l2", kIso8859_2},
    {"latin2", kIso8859_2},
    {"csisolatin3", kIso8859_3},
    {"iso-8859-3", kIso8859_3},
    {"iso-ir-109", kIso8859_3},
    {"iso8859-3", kIso8859_3},
    {"iso88593", kIso8859_3},
    {"iso_8859-3", kIso8859_3},
    {"iso_8859-3:1988", kIso8859_3},
    {"l3", kIso8859_3},
    {"latin3", kIso8859_3},
    {"csisolatin4", kIso8859_4},
    {"iso-8859-4", kIso8859_4},
    {"iso-ir-110", kIso8859_4},
    {"iso8859-4", kIso8859_4},
    {"iso88594", kIso8859_4},
    {"iso_8859-4", kIso8859_4},
    {"iso_8859-4:1988", kIso8859_4},
    {"l4", kIso8859_4},
    {"latin4", kIso8859_4},
    {"csisolatincyrillic", kIso8859_5},
    {"cyrillic", kIso8859_5},
    {"iso-8859-5", kIso8859_5},
    {"iso-ir-144", kIso8859_5},
    {"iso8859-5", kIso8859_5},
    {"iso88595", kIso8859_5},
    {"iso_8859-5", kIso8859_5},
    {"iso_8859-5:1988", kIso8859_5},
    {"arabic", kIso8859_6},
    {"asmo-708", kIso8859_6},
    {"csiso88596e", kIso8859_6},
    {"csiso88596i", kIso8859_6},
    {"csisolatinarabic", kIso8859_6},
    {"ecma-114", kIso8859_6},
    {"iso-8859-6", kIso8859_6},
    {"iso-8859-6-e", kIso8859_6},
    {"iso-8859-6-i", kIso8859_6},
    {"iso-ir-127", kIso8859_6},
    {"iso8859-6", kIso8859_6},
    {"iso88596", kIso8859_6},
    {"iso_8859-6", kIso8859_6},
    {"iso_8859-6:1987", kIso8859_6},
    {"csisolatingreek", kIso8859_7},
    {"ecma-118", kIso8859_7},
    {"elot_928", kIso8859_7},
    {"greek", kIso8859_7},
    {"greek8", kIso8859_7},
    {"iso-8859-7", kIso8859_7},
    {"iso-ir-126", kIso8859_7},
    {"iso8859-7", kIso8859_7},
    {"iso88597", kIso8859_7},
    {"iso_8859-7", kIso8859_7},
    {"iso_8859-7:1987", kIso8859_7},
    {"sun_eu_greek", kIso8859_7},
    {"csiso88598e", kIso8859_8},
    {"csisolatinhebrew", kIso8859_8},
    {"hebrew", kIso8859_8},
    {"iso-8859-8", kIso8859_8},
    {"iso-8859-8-e", kIso8859_8},
    {"iso-ir-138", kIso8859_8},
    {"iso8859-8", kIso8859_8},
    {"iso88598", kIso8859_8},
    {"iso_8859-8", kIso8859_8},
    {"iso_8859-8:1988", kIso8859_8},
    {"visual", kIso8859_8},
    {"csiso88598i", kIso8859_8I},
    {"iso-8859-8-i", kIso8859_8I},
    {"logical", kIso8859_8I},
    {"csisolatin6", kIso8859_10},
    {"iso-8859-10", kIso8859_10},
    {"iso-ir-157", kIso8859_10},
    {"iso8859-10", kIso8859_10},
    {"iso885910", kIso8859_10},
    {"l6", kIso8859_10},
    {"latin6", kIso8859_10},
    {"iso-8859-13", kIso8859_13},
    {"iso8859-13", kIso8859_13},
    {"iso885913", kIso8859_13},
    {"iso-8859-14", kIso8859_14},
    {"iso8859-14", kIso8859_14},
    {"iso885914", kIso8859_14},
    {"csisolatin9", kIso8859_15},
    {"iso-8859-15", kIso8859_15},
    {"iso8859-15", kIso8859_15},
    {"iso885915", kIso8859_15},
    {"iso_8859-15", kIso8859_15},
    {"l9", kIso8859_15},
    {"iso-8859-16", kIso8859_16},
    {"cskoi8r", kKoi8R},
    {"koi", kKoi8R},
    {"koi8", kKoi8R},
    {"koi8-r", kKoi8R},
    {"koi8_r", kKoi8R},
    {"koi8-ru", kKoi8U},
    {"koi8-u", kKoi8U},
    {"csmacintosh", kMacintosh},
    {"mac", kMacintosh},
    {"macintosh", kMacintosh},
    {"x-mac-roman", kMacintosh},
    {"dos-874", kWindows874},
    {"iso-8859-11", kWindows874},
    {"iso8859-11", kWindows874},
    {"iso885911", kWindows874},
    {"tis-620", kWindows874},
    {"windows-874", kWindows874},
    {"cp1250", kWindows1250},
    {"windows-1250", kWindows1250},
    {"x-cp1250", kWindows1250},
    {"cp1251", kWindows1251},
    {"windows-1251", kWindows1251},
    {"x-cp1251", kWindows1251},
    {"ansi_x3.4-1968", kWindows1252},
    {"ascii", kWindows1252},
    {"cp1252", kWindows1252},
    {"cp819", kWindows1252},
    {"csisolatin1", kWindows1252},
    {"ibm819", kWindows1252},
    {"iso-8859-1", kWindows1252},
    {"iso-ir-100", kWindows1252},
    {"iso8859-1", kWindows1252},
    {"iso88591", kWindows1252},
    {"iso_8859-1", kWindows1252},
    {"iso_8859-1:1987", kWindows1252},
    {"l1", kWindows1252},
    {"latin1", kWindows1252},
    {"us-ascii", kWindows1252},
    {"windows-1252", kWindows1252},
    {"x-cp1252", kWindows1252},
    {"cp1253", kWindows1253},
    {"windows-1253", kWindows1253},
    {"x-cp1253", kWindows1253},
    {"cp1254", kWindows1254},
    {"csisolatin5", kWindows1254},
    {"iso-8859-9", kWindows1254},
    {"iso-ir-148", kWindows1254},
    {"iso8859-9", kWindows1254},
    {"iso88599", kWindows1254},
    {"iso_8859-9", kWindows1254},
    {"iso_8859-9:1989", kWindows1254},
    {"l5", kWindows1254},
    {"latin5", kWindows1254},
    {"windows-1254", kWindows1254},
    {"x-cp1254", kWindows1254},
    {"cp1255", kWindows1255},
    {"windows-1255", kWindows1255},
    {"x-cp1255", kWindows1255},
    {"cp1256", kWindows1256},
    {"windows-1256", kWindows1256},
    {"x-cp1256", kWindows1256},
    {"cp1257", kWindows1257},
    {"windows-1257", kWindows1257},
    {"x-cp1257", kWindows1257},
    {"cp1258", kWindows1258},
    {"windows-1258", kWindows1258},
    {"x-cp1258", kWindows1258},
    {"x-mac-cyrillic", kMacCyrillic},
    {"x-mac-ukrainian", kMacCyrillic},
    {"chinese", kGbk},
    {"csgb2312", kGbk},
    {"csiso58gb231280", kGbk},
    {"gb2312", kGbk},
    {"gb_2312", kGbk},
    {"gb_2312-80", kGbk},
    {"gbk", kGbk},
    {"iso-ir-58", kGbk},
    {"x-gbk", kGbk},
    {"gb18030", kGb18030},
    {"big5", kBig5},
    {"big5-hkscs", kBig5},
    {"cn-big5", kBig5},
    {"csbig5", kBig5},
    {"x-x-big5", kBig5},
    {"cseucpkdfmtjapanese", kEucJp},
    {"euc-jp", kEucJp},
    {"x-euc-jp", kEucJp},
    {"csiso2022jp", kIso2022Jp},
    {"iso-2022-jp", kIso2022Jp},
    {"csshiftjis", kShiftJis},
    {"ms932", kShiftJis},
    {"ms_kanji", kShiftJis},
    {"shift-jis", kShiftJis},
    {"shift_jis", kShiftJis},
    {"sjis", kShiftJis},
    {"windows-31j", kShiftJis},
    {"x-sjis", kShiftJis},
    {"cseuckr", kEucKr},
    {"csksc56011987", kEucKr},
    {"euc-kr", kEucKr},
    {"iso-ir-149", kEucKr},
    {"korean", kEucKr},
    {"ks_c_5601-1987", kEucKr},
    {"ks_c_5601-1989", kEucKr},
    {"ksc5601", kEucKr},
    {"ksc_5601", kEucKr},
    {"windows-949", kEucKr},
    {"csiso2022kr", kReplacement},
    {"hz-gb-2312", kReplacement},
    {"iso-2022-cn", kReplacement},
    {"iso-2022-cn-ext", kReplacement},
    {"iso-2022-kr", kReplacement},
    {"replacement", kReplacement},
    {"unicodefffe", kUtf16Be},
    {"utf-16be", kUtf16Be},
    {"csunicode", kUtf16Le},
    {"iso-10646-ucs-2", kUtf16Le},
    {"ucs-2", kUtf16Le},
    {"unicode", kUtf16Le},
    {"unicodefeff", kUtf16Le},
    {"utf-16", kUtf16Le},
    {"utf-16le", kUtf16Le},
    {"x-user-defined", kUserDefined},
};

bool IsSpace(unsigned char c) {
    return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x20;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
}

// The charset a label names, or kNone: the label without the blanks around it, in any letter
// case.
size_t CharsetOfLabel(std::string_view label) {
    while (!label.empty() && IsSpace(static_cast<unsigned char>(label.front()))) {
        label.remove_prefix(1);
    }
    while (!label.empty() && IsSpace(static_cast<unsigned char>(label.back()))) {
        label.remove_suffix(1);
    }
    constexpr size_t kLongestLabel = 20;
    if (label.empty() || label.size() > kLongestLabel) {
        return kNone;
    }
    char lower[kLongestLabel];
    std::transform(label.begin(), label.end(), lower, Lower);
    const std::string_view key(lower, label.size());
    for (const TLabel& entry : kLabels) {
        if (entry.Label == key) {
            return entry.Target;
        }
    }
    return kNone;
}

// --- The scan of a page's first bytes for its charset ---------------------------------------
//
// Browsers' own reading of a page's opening bytes, step by step: comments are skipped, every
// other tag's attributes are read over (so a ">" inside a quoted value does not end the tag),
// and the first meta element that declares a charset the table knows decides. A meta's
// `charset` attribute counts on its own; `charset=` inside its `content` counts only when the
// same meta has http-equiv="Content-Type" (doxygen's and Sphinx's pages have it). Only bytes
// that lie wholly within the first 1,024 count: a tag cut off by that limit ends the scan.

constexpr size_t kScanLength = 1024;

class TPrescan {
public:
    explicit TPrescan(std::string_view page)
        : begin_(page.data()), end_(page.data() + std::min(page.size(), kScanLength)) {}

    size_t Run() {
        const size_t found = ScanMetas();
        return found != kNone ? found : XmlDeclaration();
    }

private:
    struct TAttribute {
        std::string Name;
        std::string Value;
    };

    size_t Left() const { return static_cast<size_t>(end_ - p_); }
    bool At(std::string_view bytes) const {
        return Left() >= bytes.size() && std::memcmp(p_, bytes.data(), bytes.size()) == 0;
    }
    // Whether the bytes at p_ are `lower` in any letter case.
    bool AtNoCase(std::string_view lower) const {
        if (Left() < lower.size()) {
            return false;
        }
        for (size_t i = 0; i < lower.size(); ++i) {
            if (Lower(p_[i]) != lower[i]) {
                return false;
            }
        }
        return true;
    }
    static bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

    size_t ScanMetas() {
        p_ = begin_;
        if (At(std::string_view("<\0?\0x\0", 6))) {
            return kUtf16Le;
        }
        if (At(std::string_view("\0<\0?\0x", 6))) {
            return kUtf16Be;
        }
        while (p_ < end_) {
            if (At("<!--")) {
                // The end is the first "-->", whose dashes may be those of the opening.
                const std::string_view rest(p_ + 2, Left() - 2);
                const size_t close = rest.find("-->");
                if (close == std::string_view::npos) {
                    return kNone;
                }
                p_ += 2 + close + 2;  // at its ">"
            } else if (AtNoCase("<meta") && Left() > 5 &&
                       (IsSpace(static_cast<unsigned char>(p_[5])) || p_[5] == '/')) {
                p_ += 5;
                bool ran;
                const size_t found = Meta(ran);
                if (ran) {
                    return kNone;
                }
                if (found != kNone) {
                    return found;
                }
            } else if (Left() >= 2 && p_[0] == '<' &&
                       (IsLetter(p_[1]) || (p_[1] == '/' && Left() >= 3 && IsLetter(p_[2])))) {
                while (p_ < end_ && !IsSpace(static_cast<unsigned char>(*p_)) && *p_ != '>') {
                    ++p_;
                }
                TAttribute attribute;
                bool ran = false;
                while (GetAttribute(attribute, ran)) {
                }
                if (ran) {
                    return kNone;
                }
            } else if (At("<!") || At("</") || At("<?")) {
                const char* close = static_cast<const char*>(std::memchr(p_ + 1, '>', Left() - 1));
                if (!close) {
                    return kNone;
                }
                p_ = close;
            }
            ++p_;
        }
        return kNone;
    }

    // The attributes of a meta element from p_ (just after "<meta"): the charset it declares,
    // or kNone. `ran` tells that the bytes ran out first.
    size_t Meta(bool& ran) {
        ran = false;
        bool seenHttpEquiv = false;
        bool seenContent = false;
        bool seenCharset = false;
        bool gotPragma = false;
        enum class Need { Unset, Yes, No } needPragma = Need::Unset;
        // Unset until a value is found; then a charset, or kNone for a label the table lacks.
        bool charsetSet = false;
        size_t charset = kNone;
        TAttribute attribute;
        while (GetAttribute(attribute, ran)) {
            if (attribute.Name == "http-equiv") {
                if (!seenHttpEquiv) {
                    seenHttpEquiv = true;
                    gotPragma = gotPragma || attribute.Value == "content-type";
                }
            } else if (attribute.Name == "content") {
                if (!seenContent) {
                    seenContent = true;
                    const size_t fromContent = CharsetInContent(attribute.Value);
                    if (fromContent != kNone && !charsetSet) {
                        charsetSet = true;
                        charset = fromContent;
                        needPragma = Need::Yes;
                    }
                }
            } else if (attribute.Name == "charset") {
                if (!seenCharset) {
                    seenCharset = true;
                    charsetSet = true;
                    charset = CharsetOfLabel(attribute.Value);
                    needPragma = Need::No;
                }
            }
        }
        if (ran || needPragma == Need::Unset || (needPragma == Need::Yes && !gotPragma) ||
            charset == kNone) {
            return kNone;
        }
        if (charset == kUtf16Be || charset == kUtf16Le) {
            return kUtf8;  // bytes this scan could read cannot be UTF-16
        }
        return charset == kUserDefined ? kWindows1252 : charset;
    }

    // Reads one attribute from p_ into `attribute`, name and value in lower case. False at the
    // end of the tag, or when the bytes run out (then `ran`).
    bool GetAttribute(TAttribute& attribute, bool& ran) {
        attribute.Name.clear();
        attribute.Value.clear();
        auto outOfBytes = [&] {
            ran = true;
            return false;
        };
        while (p_ < end_ && (IsSpace(static_cast<unsigned char>(*p_)) || *p_ == '/')) {
            ++p_;
        }
        if (p_ == end_) {
            return outOfBytes();
        }
        if (*p_ == '>') {
            return false;
        }
        // The name, up to "=", a blank, "/" or ">".
        for (;; ++p_) {
            if (p_ == end_) {
                return outOfBytes();
            }
            const char c = *p_;
            if (c == '=' && !attribute.Name.empty()) {
                ++p_;
                break;
            }
            if (IsSpace(static_cast<unsigned char>(c))) {
                while (p_ < end_ && IsSpace(static_cast<unsigned char>(*p_))) {
                    ++p_;
                }
                if (p_ == end_) {
                    return outOfBytes();
                }
                if (*p_ != '=') {
                    return true;  // a name without a value
                }
                ++p_;
                break;
            }
            if (c == '/' || c == '>') {
                return true;
            }
            attribute.Name.push_back(Lower(c));
        }
        // The value: quoted, or up to a blank or ">".
        while (p_ < end_ && IsSpace(static_cast<unsigned char>(*p_))) {
            ++p_;
        }
        if (p_ == end_) {
            return outOfBytes();
        }
        if (*p_ == '"' || *p_ == '\'') {
            const char quote = *p_++;
            for (; p_ < end_ && *p_ != quote; ++p_) {
                attribute.Value.push_back(Lower(*p_));
            }
            if (p_ == end_) {
                return outOfBytes();
            }
            ++p_;
            return true;
        }
        if (*p_ == '>') {
            return true;
        }
        for (; p_ < end_; ++p_) {
            if (IsSpace(static_cast<unsigned char>(*p_)) || *p_ == '>') {
                return true;
            }
            attribute.Value.push_back(Lower(*p_));
        }
        return outOfBytes();
    }

    // The charset named after "charset=" in a content attribute's (lower-case) value, or kNone.
    static size_t CharsetInContent(std::string_view value) {
        size_t at = 0;
        for (;;) {
            const size_t word = value.find("charset", at);
            if (word == std::string_view::npos) {
                return kNone;
            }
            at = word + 7;
            while (at < value.size() && IsSpace(static_cast<unsigned char>(value[at]))) {
                ++at;
            }
            if (at < value.size() && value[at] == '=') {
                ++at;
                break;
            }
        }
        while (at < value.size() && IsSpace(static_cast<unsigned char>(value[at]))) {
            ++at;
        }
        if (at == value.size()) {
            return kNone;
        }
        const char first = value[at];
        if (first == '"' || first == '\'') {
            const size_t close = value.find(first, at + 1);
            if (close == std::string_view::npos) {
                return kNone;
            }
            return CharsetOfLabel(value.substr(at + 1, close - at - 1));
        }
        size_t stop = at;
        while (stop < value.size() && !IsSpace(static_cast<unsigned char>(value[stop])) &&
               value[stop] != ';') {
            ++stop;
        }
        return CharsetOfLabel(value.substr(at, stop - at));
    }

    // A page with no meta declaration may still open with an XML declaration naming its
    // encoding (`<?xml version="1.0" encoding="...">`), as XHTML pages do.
    size_t XmlDeclaration() const {
        const std::string_view text(begin_, static_cast<size_t>(end_ - begin_));
        if (!text.starts_with("<?xml")) {
            return kNone;
        }
        const size_t close = text.find('>');
        if (close == std::string_view::npos) {
            return kNone;
        }
        const std::string_view declaration = text.substr(0, close);
        size_t at = declaration.find("encoding");
        if (at == std::string_view::npos) {
            return kNone;
        }
        at += 8;
        auto skipControls = [&] {
            while (at < declaration.size() && static_cast<unsigned char>(declaration[at]) <= 0x20) {
                ++at;
            }
        };
        skipControls();
        if (at == declaration.size() || declaration[at] != '=') {
            return kNone;
        }
        ++at;
        skipControls();
        if (at == declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) {
            return kNone;
        }
        const size_t valueEnd = declaration.find(declaration[at], at + 1);
        if (valueEnd == std::string_view::npos) {
            return kNone;
        }
        const std::string_view label = declaration.substr(at + 1, valueEnd - at - 1);
        if (std::any_of(label.begin(), label.end(),
                        [](char c) { return static_cast<unsigned char>(c) <= 0x20; })) {
            return kNone;
        }
        const size_t charset = CharsetOfLabel(label);
        return charset == kUtf16Be || charset == kUtf16Le ? kUtf8 : charset;
    }

    const char* begin_;
    const char* end_;
    const char* p_ = nullptr;
};

struct TSniffed {
    size_t Charset = kNone;
    size_t MarkLength = 0;
};

TSniffed ByteOrderMark(std::string_view page) {
    if (page.starts_with("\xEF\xBB\xBF")) {
        return {kUtf8, 3};
    }
    if (page.starts_with("\xFE\xFF")) {
        return {kUtf16Be, 2};
    }
    if (page.starts_with("\xFF\xFE")) {
        return {kUtf16Le, 2};
    }
    return {};
}

// --- Fast scans ------------------------------------------------------------------------------

constexpr unsigned char kEscape = 0x1B;

// The first position in [p, end) of a byte from 0x80 up or, when `orEscape`, of an escape byte
// (with which the 7-bit Japanese charset switches to its double-byte characters); or end.
template <bool orEscape>
const char* FindUnplain(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i escape = _mm_set1_epi8(static_cast<char>(kEscape));
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        if constexpr (orEscape) {
            mask |= static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, escape)));
        }
        if (mask != 0) {
            return p + __builtin_ctz(mask);
        }
        p += 16;
    }
#else
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        std::uint64_t found = word & kHigh;
        if constexpr (orEscape) {
            const std::uint64_t x = word ^ (kOnes * kEscape);
            found |= (x - kOnes) & ~x & kHigh;
        }
        if (found != 0) {
            break;  // the byte loop below finds which
        }
        p += 8;
    }
#endif
    while (p < end && static_cast<unsigned char>(*p) < 0x80 &&
           (!orEscape || static_cast<unsigned char>(*p) != kEscape)) {
        ++p;
    }
    return p;
}

// Writes a character's bytes, given as one value (see TPageConverter::EntryFor), and gives the
// position after them.
char* Put(char* out, std::uint16_t entry) {
    if (entry > 0xFF) {
        *out++ = static_cast<char>(entry >> 8);
    }
    *out++ = static_cast<char>(entry & 0xFF);
    return out;
}

// ICU's reading of a malformed or unmapped sequence as U+FFFD, whatever the charset's own
// substitute, so that each becomes one space.
void ToReplacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                            UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR) {
        return;
    }
    static const UChar kReplacementCharacter = 0xFFFD;
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &kReplacementCharacter, 1, 0, status);
}

}  // namespace

std::string_view DeclaredCharset(std::string_view page) {
    size_t charset = ByteOrderMark(page).Charset;
    if (charset == kNone) {
        charset = TPrescan(page).Run();
    }
    return charset == kNone ? std::string_view() : kCharsets[charset].Name;
}

TPageConverter::TPageConverter(const TCodePage& project)
    : project_(project),
      converters_(kCharsetCount, nullptr),
      unavailable_(kCharsetCount),
      byteTables_(kCharsetCount) {}

TPageConverter::~TPageConverter() {
    for (UConverter* converter : converters_) {
        if (converter) {
            ucnv_close(converter);
        }
    }
}

std::string_view TPageConverter::Convert(std::string_view raw) {
    const TSniffed mark = ByteOrderMark(raw);
    if (mark.Charset != kNone) {
        const std::string_view text = raw.substr(mark.MarkLength);
        if (mark.Charset != kUtf8) {
            return FromOther(text, 0, mark.Charset);
        }
        const char* nonAscii = FindUnplain<false>(text.data(), text.data() + text.size());
        if (nonAscii == text.data() + text.size()) {
            return text;
        }
        return FromUtf8(text, static_cast<size_t>(nonAscii - text.data()));
    }

    // Most pages are plain ASCII and read the same in every charset that keeps ASCII, so one
    // fast look settles them before any scan for a declaration. Only the 7-bit Japanese charset
    // (which escapes) and UTF-16 without a byte-order mark (only ever announced by its opening
    // bytes) read plain ASCII bytes otherwise.
    const char* const end = raw.data() + raw.size();
    const char* unplain = FindUnplain<true>(raw.data(), end);
    const bool utf16Opening =
        raw.starts_with(std::string_view("<\0", 2)) || raw.starts_with(std::string_view("\0<", 2));
    if (unplain == end && !utf16Opening) {
        return raw;
    }
    const size_t charset = TPrescan(raw).Run();
    if (charset == kNone) {
        return raw;
    }
    if (charset == kIso2022Jp || charset == kUtf16Be || charset == kUtf16Le) {
        return FromOther(raw, 0, charset);
    }
    if (kCharsets[charset].CodePage == project_.Number()) {
        return raw;
    }
    const char* nonAscii = FindUnplain<false>(unplain, end);
    if (nonAscii == end) {
        return raw;
    }
    const size_t asciiPrefix = static_cast<size_t>(nonAscii - raw.data());
    if (charset == kUtf8) {
        return FromUtf8(raw, asciiPrefix);
    }
    return kCharsets[charset].SingleByte ? FromSingleByte(raw, asciiPrefix, charset)
                                         : FromOther(raw, asciiPrefix, charset);
}

// UTF-8 by hand, the common case: ASCII runs are copied whole, and every other sequence is
// decoded as browsers decode it, where each longest start of a sequence that cannot go on
// (or a byte that starts none) is one malformed character.
std::string_view TPageConverter::FromUtf8(std::string_view text, size_t asciiPrefix) {
    if (!twoByteTable_) {
        // Every character of two UTF-8 bytes (U+0080 to U+07FF: the Latin, Greek, Cyrillic,
        // Hebrew and Arabic letters) looked up once.
        twoByteTable_ = std::make_unique<TTwoByteTable>();
        for (char32_t codePoint = 0x80; codePoint < 0x800; ++codePoint) {
            (*twoByteTable_)[codePoint - 0x80] = EntryFor(codePoint);
        }
    }
    // A local copy: the writes through `out` could otherwise be taken to change the member.
    const std::uint16_t* const twoByteTable = twoByteTable_->data();
    // Never longer than the text: a character of two to four bytes becomes at most two, and a
    // malformed sequence one space.
    buffer_.resize(text.size());
    char* out = buffer_.data();
    std::memcpy(out, text.data(), asciiPrefix);
    out += asciiPrefix;
    const char* p = text.data() + asciiPrefix;
    const char* const end = text.data() + text.size();
    while (p < end) {
        const auto lead = static_cast<unsigned char>(*p);
        if (lead < 0x80) {
            const char* run = FindUnplain<false>(p, end);
            std::memcpy(out, p, static_cast<size_t>(run - p));
            out += run - p;
            p = run;
            continue;
        }
        ++p;
        if (lead >= 0xC2 && lead <= 0xDF && p < end &&
            (static_cast<unsigned char>(*p) & 0xC0) == 0x80) {
            const unsigned index = ((lead & 0x1Fu) << 6 | (static_cast<unsigned char>(*p) & 0x3Fu));
            out = Put(out, twoByteTable[index - 0x80]);
            ++p;
            continue;
        }
        size_t following;
        char32_t codePoint;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            following = 1;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            following = 2;
            codePoint = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong form
            high = lead == 0xED ? 0x9F : 0xBF;  // no surrogate
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            following = 3;
            codePoint = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong form
            high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
        } else {
            *out++ = ' ';
            continue;
        }
        bool whole = true;
        for (; following > 0; --following) {
            if (p == end || static_cast<unsigned char>(*p) < low ||
                static_cast<unsigned char>(*p) > high) {
                whole = false;  // the byte that breaks the sequence is read again
                break;
            }
            codePoint = (codePoint << 6) | (static_cast<unsigned char>(*p) & 0x3F);
            ++p;
            low = 0x80;
            high = 0xBF;
        }
        out = Put(out, whole ? EntryFor(codePoint) : std::uint16_t{' '});
    }
    buffer_.resize(static_cast<size_t>(out - buffer_.data()));
    return buffer_;
}

std::uint16_t TPageConverter::EntryFor(char32_t codePoint) {
    scratch_.clear();
    if (!project_.AppendChar(codePoint, scratch_)) {
        return ' ';
    }
    const auto first = static_cast<unsigned char>(scratch_[0]);
    return scratch_.size() == 1
               ? first
               : static_cast<std::uint16_t>(first << 8 | static_cast<unsigned char>(scratch_[1]));
}

// A single-byte charset through a table that ICU fills once: ASCII runs are copied whole, and
// each other byte becomes its entry.
std::string_view TPageConverter::FromSingleByte(std::string_view text, size_t asciiPrefix,
                                                size_t charset) {
    std::unique_ptr<TByteTable>& table = byteTables_[charset];
    if (!table) {
        UConverter* converter = ConverterFor(charset);
        if (!converter) {
            return text;
        }
        table = std::make_unique<TByteTable>();
        for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
            const char in = static_cast<char>(byte);
            UChar unit = 0;
            UErrorCode status = U_ZERO_ERROR;
            ucnv_resetToUnicode(converter);
            const int32_t length = ucnv_toUChars(converter, &unit, 1, &in, 1, &status);
            const std::uint16_t entry =
                U_SUCCESS(status) && length == 1 ? EntryFor(unit) : std::uint16_t{' '};
            (*table)[byte - 0x80] = entry;
        }
    }
    // A byte becomes at most two, and two only in a double-byte code page.
    buffer_.resize(project_.IsDoubleByte() ? 2 * text.size() : text.size());
    char* out = buffer_.data();
    std::memcpy(out, text.data(), asciiPrefix);
    out += asciiPrefix;
    const char* p = text.data() + asciiPrefix;
    const char* const end = text.data() + text.size();
    while (p < end) {
        const char* run = FindUnplain<false>(p, end);
        std::memcpy(out, p, static_cast<size_t>(run - p));
        out += run - p;
        for (p = run; p < end && static_cast<unsigned char>(*p) >= 0x80; ++p) {
            out = Put(out, (*table)[static_cast<unsigned char>(*p) - 0x80]);
        }
    }
    buffer_.resize(static_cast<size_t>(out - buffer_.data()));
    return buffer_;
}

// Every other charset through ICU. In those that keep ASCII, only the stretches around bytes
// from 0x80 up go through it, and the ASCII between them is copied whole. A stretch takes two
// ASCII bytes after its last high byte: the first may be that byte's trail byte (as in
// Shift_JIS, GBK and Big5), and a broken four-byte character of GB18030 (high, digit, high,
// digit) is read again from its second byte; an ASCII byte after those two starts a character.
std::string_view TPageConverter::FromOther(std::string_view text, size_t asciiPrefix,
                                           size_t charset) {
    UConverter* converter = ConverterFor(charset);
    if (!converter) {
        return text;
    }
    buffer_.clear();
    buffer_.reserve(text.size());
    buffer_.append(text.data(), asciiPrefix);
    const char* p = text.data() + asciiPrefix;
    const char* const end = text.data() + text.size();
    if (charset == kIso2022Jp || charset == kUtf16Be || charset == kUtf16Le) {
        AppendThroughIcu(converter, p, end);
        return buffer_;
    }
    auto isHigh = [](const char* at) { return static_cast<unsigned char>(*at) >= 0x80; };
    while (p < end) {
        const char* const high = FindUnplain<false>(p, end);
        buffer_.append(p, high);
        if (high == end) {
            break;
        }
        const char* stop = high;
        for (;;) {
            while (stop < end && isHigh(stop)) {
                ++stop;
            }
            for (int taken = 0; taken < 2 && stop < end && !isHigh(stop); ++taken) {
                ++stop;
            }
            if (stop == end || !isHigh(stop)) {
                break;
            }
        }
        AppendThroughIcu(converter, high, stop);
        p = stop;
    }
    return buffer_;
}

void TPageConverter::AppendThroughIcu(UConverter* converter, const char* source,
                                      const char* sourceEnd) {
    ucnv_resetToUnicode(converter);
    constexpr size_t kBlock = 4096;
    UChar block[kBlock];
    bool afterHighSurrogate = false;
    UErrorCode status;
    do {
        status = U_ZERO_ERROR;
        UChar* target = block;
        ucnv_toUnicode(converter, &target, block + kBlock, &source, sourceEnd, nullptr, true,
                       &status);
        for (const UChar* unit = block; unit < target; ++unit) {
            const char16_t c = *unit;
            if (c < 0x80) {
                buffer_.push_back(static_cast<char>(c));
            } else if (c >= 0xDC00 && c <= 0xDFFF && afterHighSurrogate) {
                // The second half of a character beyond the code page's reach: one space in all.
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                buffer_.push_back(' ');
            } else if (!project_.AppendChar(c, buffer_)) {
                buffer_.push_back(' ');
            }
            afterHighSurrogate = c >= 0xD800 && c <= 0xDBFF;
        }
    } while (status == U_BUFFER_OVERFLOW_ERROR);
}

UConverter* TPageConverter::ConverterFor(size_t charset) {
    if (converters_[charset] || unavailable_[charset]) {
        return converters_[charset];
    }
    const char* name = kCharsets[charset].Converter;
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = name ? ucnv_open(name, &status) : nullptr;
    if (converter && U_SUCCESS(status)) {
        ucnv_setToUCallBack(converter, ToReplacementCharacter, nullptr, nullptr, nullptr, &status);
    }
    if (!converter || U_FAILURE(status)) {
        if (converter) {
            ucnv_close(converter);
        }
        unavailable_[charset] = true;
        return nullptr;
    }
    converters_[charset] = converter;
    return converter;
}

}  // namespace tarnwick
