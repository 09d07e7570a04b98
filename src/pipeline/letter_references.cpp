#include "pipeline/letter_references.h"

#include <iterator>
#include <map>
#include <memory>
#include <mutex>

#include "support/code_page.h"

namespace tarnwick {
namespace {

struct TNamedReference {
    std::string_view Name;
    char16_t Unit;
};

// The named references of HTML 4, sorted by name (byte order) for a binary search. The ones whose
// character is no letter or digit are listed too, so that the table is the standard's and the
// letter test decides, not the list.
constexpr TNamedReference kNamed[] = {
    {"AElig", 198},   {"Aacute", 193},  {"Acirc", 194},   {"Agrave", 192},  {"Alpha", 913},
    {"Aring", 197},   {"Atilde", 195},  {"Auml", 196},    {"Beta", 914},    {"Ccedil", 199},
    {"Chi", 935},     {"Dagger", 8225}, {"Delta", 916},   {"ETH", 208},     {"Eacute", 201},
    {"Ecirc", 202},   {"Egrave", 200},  {"Epsilon", 917}, {"Eta", 919},     {"Euml", 203},
    {"Gamma", 915},   {"Iacute", 205},  {"Icirc", 206},   {"Igrave", 204},  {"Iota", 921},
    {"Iuml", 207},    {"Kappa", 922},   {"Lambda", 923},  {"Mu", 924},      {"Ntilde", 209},
    {"Nu", 925},      {"OElig", 338},   {"Oacute", 211},  {"Ocirc", 212},   {"Ograve", 210},
    {"Omega", 937},   {"Omicron", 927}, {"Oslash", 216},  {"Otilde", 213},  {"Ouml", 214},
    {"Phi", 934},     {"Pi", 928},      {"Prime", 8243},  {"Psi", 936},     {"Rho", 929},
    {"Scaron", 352},  {"Sigma", 931},   {"THORN", 222},   {"Tau", 932},     {"Theta", 920},
    {"Uacute", 218},  {"Ucirc", 219},   {"Ugrave", 217},  {"Upsilon", 933}, {"Uuml", 220},
    {"Xi", 926},      {"Yacute", 221},  {"Yuml", 376},    {"Zeta", 918},    {"aacute", 225},
    {"acirc", 226},   {"acute", 180},   {"aelig", 230},   {"agrave", 224},  {"alefsym", 8501},
    {"alpha", 945},   {"amp", 38},      {"and", 8743},    {"ang", 8736},    {"aring", 229},
    {"asymp", 8776},  {"atilde", 227},  {"auml", 228},    {"bdquo", 8222},  {"beta", 946},
    {"brvbar", 166},  {"bull", 8226},   {"cap", 8745},    {"ccedil", 231},  {"cedil", 184},
    {"cent", 162},    {"chi", 967},     {"circ", 710},    {"clubs", 9827},  {"cong", 8773},
    {"copy", 169},    {"crarr", 8629},  {"cup", 8746},    {"curren", 164},  {"dArr", 8659},
    {"dagger", 8224}, {"darr", 8595},   {"deg", 176},     {"delta", 948},   {"diams", 9830},
    {"divide", 247},  {"eacute", 233},  {"ecirc", 234},   {"egrave", 232},  {"empty", 8709},
    {"emsp", 8195},   {"ensp", 8194},   {"epsilon", 949}, {"equiv", 8801},  {"eta", 951},
    {"eth", 240},     {"euml", 235},    {"euro", 8364},   {"exist", 8707},  {"fnof", 402},
    {"forall", 8704}, {"frac12", 189},  {"frac14", 188},  {"frac34", 190},  {"frasl", 8260},
    {"gamma", 947},   {"ge", 8805},     {"gt", 62},       {"hArr", 8660},   {"harr", 8596},
    {"hearts", 9829}, {"hellip", 8230}, {"iacute", 237},  {"icirc", 238},   {"iexcl", 161},
    {"igrave", 236},  {"image", 8465},  {"infin", 8734},  {"int", 8747},    {"iota", 953},
    {"iquest", 191},  {"isin", 8712},   {"iuml", 239},    {"kappa", 954},   {"lArr", 8656},
    {"lambda", 955},  {"lang", 9001},   {"laquo", 171},   {"larr", 8592},   {"lceil", 8968},
    {"ldquo", 8220},  {"le", 8804},     {"lfloor", 8970}, {"lowast", 8727}, {"loz", 9674},
    {"lrm", 8206},    {"lsaquo", 8249}, {"lsquo", 8216},  {"lt", 60},       {"macr", 175},
    {"mdash", 8212},  {"micro", 181},   {"middot", 183},  {"minus", 8722},  {"mu", 956},
    {"nabla", 8711},  {"nbsp", 160},    {"ndash", 8211},  {"ne", 8800},     {"ni", 8715},
    {"not", 172},     {"notin", 8713},  {"nsub", 8836},   {"ntilde", 241},  {"nu", 957},
    {"oacute", 243},  {"ocirc", 244},   {"oelig", 339},   {"ograve", 242},  {"oline", 8254},
    {"omega", 969},   {"omicron", 959}, {"oplus", 8853},  {"or", 8744},     {"ordf", 170},
    {"ordm", 186},    {"oslash", 248},  {"otilde", 245},  {"otimes", 8855}, {"ouml", 246},
    {"para", 182},    {"part", 8706},   {"permil", 8240}, {"perp", 8869},   {"phi", 966},
    {"pi", 960},      {"piv", 982},     {"plusmn", 177},  {"pound", 163},   {"prime", 8242},
    {"prod", 8719},   {"prop", 8733},   {"psi", 968},     {"quot", 34},     {"rArr", 8658},
    {"radic", 8730},  {"rang", 9002},   {"raquo", 187},   {"rarr", 8594},   {"rceil", 8969},
    {"rdquo", 8221},  {"real", 8476},   {"reg", 174},     {"rfloor", 8971}, {"rho", 961},
    {"rlm", 8207},    {"rsaquo", 8250}, {"rsquo", 8217},  {"sbquo", 8218},  {"scaron", 353},
    {"sdot", 8901},   {"sect", 167},    {"shy", 173},     {"sigma", 963},   {"sigmaf", 962},
    {"sim", 8764},    {"spades", 9824}, {"sub", 8834},    {"sube", 8838},   {"sum", 8721},
    {"sup", 8835},    {"sup1", 185},    {"sup2", 178},    {"sup3", 179},    {"supe", 8839},
    {"szlig", 223},   {"tau", 964},     {"there4", 8756}, {"theta", 952},   {"thetasym", 977},
    {"thinsp", 8201}, {"thorn", 254},   {"tilde", 732},   {"times", 215},   {"trade", 8482},
    {"uArr", 8657},   {"uacute", 250},  {"uarr", 8593},   {"ucirc", 251},   {"ugrave", 249},
    {"uml", 168},     {"upsih", 978},   {"upsilon", 965}, {"uuml", 252},    {"weierp", 8472},
    {"xi", 958},      {"yacute", 253},  {"yen", 165},     {"yuml", 255},    {"zeta", 950},
    {"zwj", 8205},    {"zwnj", 8204},
};
static_assert(std::size(kNamed) == 252, "HTML 4 has 252 named character references");

constexpr size_t kLongestName = 8;  // "thetasym"

bool IsAsciiLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

}  // namespace

const TLetterReferences& TLetterReferences::For(const TCodePage& codePage) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<TLetterReferences>> made;
    const std::lock_guard lock(mutex);
    std::unique_ptr<TLetterReferences>& references = made[codePage.Number()];
    if (!references) {
        references.reset(new TLetterReferences(codePage));
    }
    return *references;
}

TLetterReferences::TLetterReferences(const TCodePage& codePage) : codePage_(codePage) {
    for (const TNamedReference& entry : kNamed) {
        std::string bytes;
        if (TCodePage::IsAlphanumeric(entry.Unit) && codePage.AppendChar(entry.Unit, bytes)) {
            named_[static_cast<unsigned char>(entry.Name[0])].push_back({entry.Name, bytes});
        }
    }
}

size_t TLetterReferences::Append(std::string_view raw, size_t at, std::string& out) const {
    const size_t nameFrom = at + 1;
    if (nameFrom >= raw.size()) {
        return 0;
    }
    const auto first = static_cast<unsigned char>(raw[nameFrom]);
    if (first == '#') {
        return AppendNumeric(raw, at, out);
    }
    if (first >= 0x80 || named_[first].empty()) {
        return 0;
    }
    size_t p = nameFrom + 1;
    while (p < raw.size() && p - nameFrom <= kLongestName && IsAsciiLetterOrDigit(raw[p])) {
        ++p;
    }
    if (p >= raw.size() || raw[p] != ';') {
        return 0;
    }
    const std::string_view name = raw.substr(nameFrom, p - nameFrom);
    for (const TNamed& named : named_[first]) {
        if (named.Name == name) {
            out += named.Bytes;
            return p + 1 - at;
        }
    }
    return 0;
}

size_t TLetterReferences::AppendNumeric(std::string_view raw, size_t at, std::string& out) const {
    size_t p = at + 2;
    const bool hex = p < raw.size() && (raw[p] == 'x' || raw[p] == 'X');
    p += hex;
    const size_t digitsFrom = p;
    char32_t value = 0;
    // Eight digits are more than any character needs; a longer number names none.
    for (; p < raw.size() && p - digitsFrom < 8; ++p) {
        const char c = raw[p];
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
            digit = static_cast<unsigned>((c | 0x20) - 'a' + 10);
        } else {
            break;
        }
        value = value * (hex ? 16 : 10) + digit;
    }
    if (p == digitsFrom || p >= raw.size() || raw[p] != ';' || value == 0 || value > 0xFFFF ||
        !TCodePage::IsAlphanumeric(static_cast<char16_t>(value)) ||
        !codePage_.AppendChar(value, out)) {
        return 0;
    }
    return p + 1 - at;
}

bool TLetterReferences::Replace(std::string_view text, std::string& out) const {
    size_t amp = text.find('&');
    if (amp == std::string_view::npos) {
        return false;
    }
    out.clear();
    size_t copied = 0;
    bool replaced = false;
    while (amp != std::string_view::npos) {
        out.append(text.substr(copied, amp - copied));
        const size_t length = Append(text, amp, out);
        if (length == 0) {
            copied = amp;
            amp = text.find('&', amp + 1);
        } else {
            replaced = true;
            copied = amp + length;
            amp = text.find('&', copied);
        }
    }
    out.append(text.substr(copied));
    return replaced;
}

}  // namespace tarnwick
