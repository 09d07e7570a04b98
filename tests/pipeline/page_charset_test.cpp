// Pages in other charsets than the project's code page: which declaration counts (a byte-order
// mark over a meta, the first meta over a later one, nothing hidden in a comment, an attribute
// value or past the first 1,024 bytes), what the labels mean, what a page comes out as, and that
// a page needing nothing is handed back without a copy. The hand-made UTF-8 reader is checked
// against ICU's on random bytes, at every offset of the sixteen-byte scans.
#include <gtest/gtest.h>

#include <unicode/ucnv.h>

#include <random>
#include <string>
#include <vector>

#include "pipeline/page_charset.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;

struct TCase {
    const char* Name;
    std::string Page;
    int CodePage;
    std::string Expected;  // what Convert gives
    bool Untouched;        // given back as the very input, no copy
    std::string Charset;   // DeclaredCharset
};

const std::string kUtf8Meta = "<meta charset=\"utf-8\">";
const std::string kPastScan = "<p>" + std::string(1024, 'x') + "</p>";

std::vector<TCase> Cases() {
    return {
        // Which declaration counts.
        {"BomOverMeta", "\xEF\xBB\xBF<meta charset=iso-8859-2>Men\xC3\xBC", 1252,
         "<meta charset=iso-8859-2>Men\xFC", false, "UTF-8"},
        {"BomOnAsciiPageIsDroppedWithoutCopy", "\xEF\xBB\xBF<p>Menu", 1252, "<p>Menu", true,
         "UTF-8"},
        {"FirstOfTwo", "<meta charset=\"iso-8859-2\"><meta charset=\"utf-8\">\xB1", 1250,
         "<meta charset=\"iso-8859-2\"><meta charset=\"utf-8\">\xB9", false, "ISO-8859-2"},
        {"CharsetAttributeOverContentInOneMeta",
         "<meta http-equiv=content-type content=\"text/html; charset=utf-8\" "
         "charset=iso-8859-2>\xB1",
         1250,
         "<meta http-equiv=content-type content=\"text/html; charset=utf-8\" "
         "charset=iso-8859-2>\xB9",
         false, "ISO-8859-2"},
        {"UnknownLabel", "<meta charset=\"x-klingon\">caf\xC3\xA9", 1252,
         "<meta charset=\"x-klingon\">caf\xC3\xA9", true, ""},
        {"UnknownLabelThenKnown", "<meta charset=x-klingon><meta charset=utf-8>\xC3\xA9", 1252,
         "<meta charset=x-klingon><meta charset=utf-8>\xE9", false, "UTF-8"},
        {"LabelWithoutConverter", "<meta charset=iso-8859-16>\xE9", 1252,
         "<meta charset=iso-8859-16>\xE9", true, "ISO-8859-16"},
        {"Doxygen",
         "<meta http-equiv=\"Content-Type\" content=\"text/xhtml;charset=UTF-8\"/>Men\xC3\xBC",
         1252, "<meta http-equiv=\"Content-Type\" content=\"text/xhtml;charset=UTF-8\"/>Men\xFC",
         false, "UTF-8"},
        {"ContentBeforeHttpEquivUpperCaseSpaced",
         "<META CONTENT='text/html; CHARSET = \"UTF-8\"' HTTP-EQUIV='Content-Type'>\xC3\xBC", 1252,
         "<META CONTENT='text/html; CHARSET = \"UTF-8\"' HTTP-EQUIV='Content-Type'>\xFC", false,
         "UTF-8"},
        {"UpperCaseUnquoted", "<META CHARSET=UTF-8>\xC3\xBC", 1252, "<META CHARSET=UTF-8>\xFC",
         false, "UTF-8"},
        {"ContentWithoutHttpEquiv", "<meta name=x content=\"text/html; charset=utf-8\">\xC3\xBC",
         1252, "<meta name=x content=\"text/html; charset=utf-8\">\xC3\xBC", true, ""},
        {"PastTheFirst1024Bytes", kPastScan + kUtf8Meta + "\xC3\xBC", 1252,
         kPastScan + kUtf8Meta + "\xC3\xBC", true, ""},
        {"CutByTheFirst1024Bytes", std::string(1010, ' ') + kUtf8Meta + "\xC3\xBC", 1252,
         std::string(1010, ' ') + kUtf8Meta + "\xC3\xBC", true, ""},
        {"InComment", "<!-- " + kUtf8Meta + " -->\xC3\xBC", 1252,
         "<!-- " + kUtf8Meta + " -->\xC3\xBC", true, ""},
        {"AfterShortestComment", "<!-->" + kUtf8Meta + "\xC3\xBC", 1252,
         "<!-->" + kUtf8Meta + "\xFC", false, "UTF-8"},
        {"InAttributeValue", "<a title='" + kUtf8Meta + "'>\xC3\xBC", 1252,
         "<a title='" + kUtf8Meta + "'>\xC3\xBC", true, ""},
        {"XmlDeclaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><p>\xC3\xBC", 1252,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><p>\xFC", false, "UTF-8"},
        {"Utf16LabelIsUtf8", "<meta charset=utf-16>\xC3\xBC", 1252, "<meta charset=utf-16>\xFC",
         false, "UTF-8"},

        // Pages that need nothing.
        {"AsciiPage", kUtf8Meta + "<p>plain", 1252, kUtf8Meta + "<p>plain", true, "UTF-8"},
        {"Latin1IsTheProjectsOwn", "<meta charset=iso-8859-1>caf\xE9\x80", 1252,
         "<meta charset=iso-8859-1>caf\xE9\x80", true, "windows-1252"},
        {"UsAsciiIsTheProjectsOwn", "<meta charset=us-ascii>caf\xE9", 1252,
         "<meta charset=us-ascii>caf\xE9", true, "windows-1252"},
        {"Windows1251InItsProject", "<meta charset=windows-1251>\xCF\xF0", 1251,
         "<meta charset=windows-1251>\xCF\xF0", true, "windows-1251"},
        {"ShiftJisInItsProject", "<meta charset=x-sjis>\x93\xFA", 932,
         "<meta charset=x-sjis>\x93\xFA", true, "Shift_JIS"},
        {"Gb2312InItsProject", "<meta charset=gb2312>\xD6\xD0", 936,
         "<meta charset=gb2312>\xD6\xD0", true, "GBK"},
        {"NoDeclaration", "<p>caf\xE9", 1252, "<p>caf\xE9", true, ""},

        // Conversions.
        {"Iso8859_2To1250", "<meta charset=latin2>\xB3\xB1", 1250, "<meta charset=latin2>\xB3\xB9",
         false, "ISO-8859-2"},
        {"Windows1252To1250", "<meta charset=windows-1252>\x80\xE9", 1250,
         "<meta charset=windows-1252>\x80\xE9", false, "windows-1252"},
        {"Utf8To1251", kUtf8Meta + "\xD0\x9F\xD1\x80\xD0\xB8 ok", 1251,
         kUtf8Meta + "\xCF\xF0\xE8 ok", false, "UTF-8"},
        {"Utf8ToDoubleByte", kUtf8Meta + "\xE6\x97\xA5\xE6\x9C\xAC", 932,
         kUtf8Meta + "\x93\xFA\x96\x7B", false, "UTF-8"},
        {"CharacterTheCodePageLacks",
         kUtf8Meta + "a\xD0\x96"
                     "b\xF0\x9F\x98\x80"
                     "c\xE2\x82\xAC",
         1252, kUtf8Meta + "a b c\x80", false, "UTF-8"},
        {"ShiftJisTo1252", "<meta charset=shift_jis>\x93\xFA<b>", 1252,
         "<meta charset=shift_jis> <b>", false, "Shift_JIS"},
        {"MalformedUtf8",
         kUtf8Meta + "a\xC3(b\xC0\xAF"
                     "c\xED\xA0\x80"
                     "d\xF0\x80\x80"
                     "e\xFF"
                     "f\xE2\x82",
         1252, kUtf8Meta + "a (b  c   d   e f ", false, "UTF-8"},
        {"Utf16LeByteOrderMark", "\xFF\xFE<\0p\0>\0\xFC\0\x3D\xD8\x00\xDE"s, 1252, "<p>\xFC ",
         false, "UTF-16LE"},
        {"Utf16BeByteOrderMark", "\xFE\xFF\0<\0p\0>\x04\x16"s, 1251, "<p>\xC6", false, "UTF-16BE"},
        {"Iso2022JpOfAsciiBytes", "<meta charset=iso-2022-jp>\x1B$BF|\x1B(B!", 932,
         "<meta charset=iso-2022-jp>\x93\xFA!", false, "ISO-2022-JP"},
        {"UserDefinedIs1252", "<meta charset=x-user-defined>\xE9", 1250,
         "<meta charset=x-user-defined>\xE9", false, "windows-1252"},
        {"ReplacementLeavesThePage", "<meta charset=iso-2022-kr>\xE9", 1252,
         "<meta charset=iso-2022-kr>\xE9", true, "replacement"},
    };
}

class PageConverterTest : public testing::TestWithParam<TCase> {};

TEST_P(PageConverterTest, Converts) {
    const TCase& c = GetParam();
    if (c.Name == std::string_view("LabelWithoutConverter")) {
        UErrorCode status = U_ZERO_ERROR;
        UConverter* latin10 = ucnv_open("iso-8859_16-2001", &status);
        ucnv_close(latin10);
        if (U_SUCCESS(status)) {
            GTEST_SKIP() << "this ICU has a converter for ISO-8859-16";
        }
    }
    TPageConverter converter(TCodePage::For(c.CodePage));
    const std::string_view result = converter.Convert(c.Page);
    EXPECT_EQ(std::string(result), c.Expected);
    const bool withinInput =
        result.data() >= c.Page.data() && result.data() <= c.Page.data() + c.Page.size();
    EXPECT_EQ(withinInput, c.Untouched);
    EXPECT_EQ(DeclaredCharset(c.Page), c.Charset);
    // Again, with the buffer, converters and tables kept from the first time.
    EXPECT_EQ(std::string(converter.Convert(c.Page)), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageConverterTest, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.Name); });

// What the plain reading gives: the whole page through ICU's converter, then each character's
// bytes in the code page, or a space.
std::string ThroughIcu(std::string_view page, const char* charset, const TCodePage& codePage) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(charset, &status);
    std::u16string text(page.size() + 1, u'\0');
    const int32_t length = ucnv_toUChars(converter, text.data(), static_cast<int32_t>(text.size()),
                                         page.data(), static_cast<int32_t>(page.size()), &status);
    ucnv_close(converter);
    EXPECT_TRUE(U_SUCCESS(status)) << charset;
    std::string out;
    for (int32_t i = 0; i < length; ++i) {
        const char16_t unit = text[static_cast<size_t>(i)];
        if (unit == 0x1A) {
            out.push_back(' ');  // ICU's substitute in some charsets; the pages hold no 0x1A
        } else if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length) {
            out.push_back(' ');
            ++i;
        } else if (!codePage.AppendChar(unit, out)) {
            out.push_back(' ');
        }
    }
    return out;
}

// The fast paths (UTF-8 by hand, single-byte charsets by table, double-byte ones in stretches
// around their high bytes) against whole pages through ICU, on random pages whose first high
// byte moves across the sixteen-byte blocks of the scans.
TEST(PageConverterTest, FastPathsAgreeWithIcu) {
    struct TSource {
        const char* Label;
        const char* Icu;
    };
    static const TSource sources[] = {
        {"utf-8", "UTF-8"},     {"koi8-r", "ibm-878_P100-1996"}, {"shift_jis", "ibm-943_P15A-2003"},
        {"gb18030", "gb18030"}, {"big5", "ibm-1375_P100-2008"},  {"euc-kr", "windows-949-2000"}};
    static const std::vector<std::string> pieces = {"a",
                                                    " ",
                                                    "<p>",
                                                    "@",
                                                    "0",
                                                    "\xC3\xA9",
                                                    "\xC3",
                                                    "\xA9",
                                                    "\xE2\x82",
                                                    "\xE2\x82\xAC",
                                                    "\xED\xA0\x80",
                                                    "\xF0\x9F\x98\x80",
                                                    "\xF4\x90\x80\x80",
                                                    "\xD0\x96",
                                                    "\xE6\x97\xA5",
                                                    "\x80",
                                                    "\xFF",
                                                    "\xC0\xAF",
                                                    "\x1B",
                                                    "\x81\x30\x81\x30",
                                                    "\x93\xFA",
                                                    "\x81",
                                                    "\x81@",
                                                    "\x81 "};
    std::mt19937 random(16);
    for (const int codePage : {1252, 1251, 932}) {
        const TCodePage& project = TCodePage::For(codePage);
        TPageConverter converter(project);
        for (const TSource& source : sources) {
            if (source.Label == std::string_view("shift_jis") && codePage == 932) {
                continue;  // the project's own code page: nothing to convert
            }
            const std::string meta = "<meta charset=" + std::string(source.Label) + ">";
            for (int round = 0; round < 200; ++round) {
                std::string body(static_cast<size_t>(round % 40), 'x');
                for (int i = random() % 30; i > 0; --i) {
                    body += pieces[random() % pieces.size()];
                }
                ASSERT_EQ(std::string(converter.Convert(meta + body)),
                          ThroughIcu(meta + body, source.Icu, project))
                    << source.Label << " in code page " << codePage << ", round " << round;
                if (source.Label == sources[0].Label) {
                    ASSERT_EQ(std::string(converter.Convert("\xEF\xBB\xBF" + body)),
                              ThroughIcu(body, source.Icu, project))
                        << "code page " << codePage << ", round " << round;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick
