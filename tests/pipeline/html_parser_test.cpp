// The topic parser's byte rules: what each reader takes from a page, how candidates are split,
// trimmed and filtered, and which spelling a file keeps.
#include "pipeline/html_parser.h"

#include <gtest/gtest.h>

#include <random>

#include "common/page_reading.h"
#include "common/temp_folder.h"
#include "pipeline/exclude_list.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;

Strings WordsOf(const TFileWords& words) {
    Strings result;
    for (const TFileWord& word : words.Words()) {
        result.emplace_back(word.Word);
    }
    return result;
}

Strings Parse(std::string_view page, ParseOptions options,
              const TExcludeList* defaultList = nullptr,
              const TExcludeList* secondaryList = nullptr, TTextRules rules = {}) {
    THtmlParser parser(rules);
    TFileWords words;
    parser.ParsePage(page, words, defaultList, secondaryList, options);
    return WordsOf(words);
}

constexpr ParseOptions kBody = kParseBody;
constexpr ParseOptions kTitle = kParseTitle;
constexpr ParseOptions kKeywords = kParseKeywords;
constexpr ParseOptions kDescription = kParseDescription;
constexpr ParseOptions kAllParts = kBody | kTitle | kKeywords | kDescription;

struct PageCase {
    const char* name;
    std::string page;
    ParseOptions options;
    Strings words;  // in the order the file took them
    TTextRules rules = {};
};

constexpr TTextRules kAsciiRule{1252, true};

class ParsePageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(ParsePageTest, Words) {
    EXPECT_EQ(Parse(GetParam().page, GetParam().options, nullptr, nullptr, GetParam().rules),
              GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Body, ParsePageTest,
    ::testing::Values(
        PageCase{"PunctuationTrimmed", "<p>Hello, world.</p>", kBody, {"Hello", "world"}},
        PageCase{"LastWordWithoutBreak", "<p>first last", kBody, {"first", "last"}},
        PageCase{"EntitySwallowsToSemicolon", "AT&T rules; more", kBody, {"AT", "more"}},
        PageCase{"EntityIsASeparator", "Tom&amp;Jerry &nbsp;x", kBody, {"Tom", "Jerry", "x"}},
        PageCase{"AmpersandWithoutSemicolonSwallowsRest", "a & b c", kBody, {"a"}},
        PageCase{"TagWithoutCloseSwallowsRest", "x <y z", kBody, {"x"}},
        PageCase{"TagJoinsNothing", "in<b>side</b>", kBody, {"in", "side"}},
        PageCase{"ControlCharactersSeparate",
                 std::string("a\tb\r\nc\0d", 8),
                 kBody,
                 {"a", "b", "c", "d"}},
        PageCase{"HighBytesAreNotAlphanumericUnderTheAsciiRule",
                 "caf\xE9 na\xEFve \xE9t\xE9",
                 kBody,
                 {"caf", "na\xEFve", "t"},
                 kAsciiRule},
        PageCase{"InnerPunctuationStays",
                 "(don't) e-mail. a/b 3.5 ---",
                 kBody,
                 {"don't", "e-mail", "a/b", "3.5"}},
        PageCase{"FirstSpellingWins", "Help HELP help", kBody, {"Help"}},
        PageCase{"NoBodyWithoutOption", "<p>text</p>", kTitle, {}},
        PageCase{"EmptyPage", "", kAllParts, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The letters of the project's code page, and references that stand for a letter.
INSTANTIATE_TEST_SUITE_P(
    Letters, ParsePageTest,
    ::testing::Values(
        PageCase{"LettersOfTheCodePage",
                 "Men\xFC \xDC"
                 "bersetzungsprogramm \xC4nderung (na\xEFve) \xB2x\xB2",
                 kBody,
                 {"Men\xFC",
                  "\xDC"
                  "bersetzungsprogramm",
                  "\xC4nderung", "na\xEFve", "x"}},
        PageCase{"LetterReferencesJoinTheWord",
                 "&eacute;diteur d&eacute;bris Compatibilit&eacute; caf&#233; &#x41;B &#51;D",
                 kBody,
                 {"\xE9"
                  "diteur",
                  "d\xE9"
                  "bris",
                  "Compatibilit\xE9", "caf\xE9", "AB", "3D"}},
        PageCase{
            "WordOfOneReference", "x &eacute; &Eacute;t&EACUTE;y", kBody, {"x", "\xE9", "\xC9t", "y"}},
        PageCase{"OtherReferencesKeepBreakingWords",
                 "Tom&amp;Jerry R&D &ldquo;Word&rdquo; &nbsp;Hello caf&#xE9",
                 kBody,
                 {"Tom", "Jerry", "R", "Word", "Hello", "caf"}},
        PageCase{"LetterTheCodePageLacks", "&alpha;beta &#x3B1;gamma", kBody, {"beta", "gamma"}},
        PageCase{"LetterOfAnotherCodePage",
                 "&alpha;beta",
                 kBody,
                 {"\xE1"
                  "beta"},
                 {1253, false}},
        PageCase{"ReferencesInTheRawReaders",
                 "<title>Caf&eacute; &amp; more</title>"
                 "<param name=\"keyword\" value=\"d&eacute;bris &amp; co\">",
                 kTitle | kKeywords,
                 {"more", "Caf\xE9",
                  "d\xE9"
                  "bris",
                  "co"}},
        PageCase{"NoReferencesUnderTheAsciiRule",
                 "d&eacute;bris <title>Caf&eacute;</title>",
                 kBody | kTitle,
                 {"d", "bris", "Caf"},
                 kAsciiRule},
        PageCase{"Cyrillic",
                 "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \x98",
                 kBody,
                 {"\xCF\xF0\xE8\xE2\xE5\xF2", "\xEC\xE8\xF0"},
                 {1251, false}},
        // Shift_JIS: the ideographic comma is 0x81 0x41 and brackets 0x81 0x75 / 0x81 0x76, whose
        // trail bytes are ASCII letters; katakana trail bytes are too (0x83 0x54 is "sa").
        PageCase{"DoubleByteCharactersStayWhole",
                 "\x81\x75\x83\x54\x83\x4E\x83\x89\x81\x76 "
                 "\x81\x41\x83\x65\x83\x58\x83\x67\x81\x41 x\x83",
                 kBody,
                 {"\x83\x54\x83\x4E\x83\x89", "\x83\x65\x83\x58\x83\x67", "x"},
                 {932, false}},
        PageCase{"DoubleByteFragmentsUnderTheAsciiRule",
                 "\x81\x75\x83\x54\x83\x4E\x83\x89\x81\x76",
                 kBody,
                 {"u\x83T\x83N\x83\x89\x81v"},
                 kAsciiRule},
        PageCase{"ChineseInParentheses",
                 "\xA3\xA8\xD6\xD0\xCE\xC4\xA3\xA9",
                 kBody,
                 {"\xD6\xD0\xCE\xC4"},
                 {936, false}},
        PageCase{"OnlyAsciiDigitsAreNumbers",
                 "ab\x82\x50 a1",
                 kBody | kExcludeNumbers,
                 {"ab\x82\x50"},
                 {932, false}}),
    [](const auto& info) { return std::string(info.param.name); });

// Code in script and style elements is markup, not text; the element's whole extent is one space.
INSTANTIATE_TEST_SUITE_P(
    ScriptAndStyle, ParsePageTest,
    ::testing::Values(
        PageCase{"Script", "a<script>var x = 1;</script>b", kBody, {"a", "b"}},
        PageCase{"ScriptWithAttributesAnyCase",
                 "<SCRIPT type=\"text/javascript\">function f() { if (a > b) g(); }</ScRiPt  >"
                 "tail",
                 kBody,
                 {"tail"}},
        PageCase{"Style", "<style>p { color: red; }</style>ok", kBody, {"ok"}},
        PageCase{"SelfClosingOpenerStillSwallows", "<script/>x</script>y", kBody, {"y"}},
        PageCase{"EntityInsideScriptDoesNotLeak", "<script>a && b; c</script>d", kBody, {"d"}},
        PageCase{"TagInsideScriptDoesNotEndIt", "<script>s='<b>'; t()</script>e", kBody, {"e"}},
        PageCase{"UnclosedScriptSwallowsRest", "a<script>never closed", kBody, {"a"}},
        PageCase{"EndTagWithoutCloseSwallowsRest", "a<script>x</script b c", kBody, {"a"}},
        PageCase{"ScriptsIsAnOrdinaryTag", "<scripts>word</scripts>", kBody, {"word"}},
        PageCase{"StylesIsAnOrdinaryTag", "<styles>a<stylesheet>b", kBody, {"a", "b"}},
        PageCase{"ScriptAtEndOfPage", "w<script", kBody, {"w"}},
        PageCase{"StyleEndDoesNotCloseScript", "<script>x</style>y</script>z", kBody, {"z"}},
        PageCase{"TitleReaderIgnoresTheRule",
                 "<title>T<script>s</script></title>xxxxxxx",
                 kTitle,
                 {"Ts"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Title, ParsePageTest,
    ::testing::Values(
        PageCase{"EntitySplits", "<title>Tom&amp;Jerry</title>", kTitle, {"Tom", "Jerry"}},
        PageCase{"OnlyEntity", "<title>&amp;</title>", kTitle, {}},
        PageCase{"WordsTakenFromTheEnd", "<title>help Two HELP</title>", kTitle, {"HELP", "Two"}},
        PageCase{"OnlySpaceSeparates", "<title>a\tb c</title>", kTitle, {"c", "a\tb"}},
        PageCase{"EmptyTitleStopsTheReader", "<title></title>text after it", kTitle, {}},
        PageCase{"BlankAfterSlashIsNoEndTag", "<TITLE >Big</ TITLE>", kTitle, {"Big"}},
        PageCase{"LastSixBytesNeverRead", "<title>abcdefgh", kTitle, {"ab"}},
        PageCase{"TagsInsideTitleSkipped", "<title>A<b>B</b> C</title>", kTitle, {"C", "AB"}},
        PageCase{
            "BodyFirstThenTitle", "<title>WORD</title><p>x</p>", kBody | kTitle, {"WORD", "x"}},
        PageCase{"TitleTextIsBodyTextToo", "<title>HELP</title>Help", kBody | kTitle, {"HELP"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    KeywordParams, ParsePageTest,
    ::testing::Values(
        PageCase{"EveryElementAndKeyCase",
                 "<param name=\"keyword\" value=\"Alpha\"><param name=\"Keyword\" "
                 "value=\"Big Topic\">",
                 kKeywords,
                 {"Alpha", "Big Topic"}},
        PageCase{"KeyIsAPrefixMatch", "<params name=keywords value=Foo>", kKeywords, {"Foo"}},
        PageCase{"OtherNamesSkipped",
                 "<param name=\"Local\" value=\"a.htm\"><param name=\"Keyword\" value=\"K\">",
                 kKeywords,
                 {"K"}},
        PageCase{"WithoutValueGivesUp",
                 "<param name=\"keyword\"><param name=\"keyword\" value=\"X\">",
                 kKeywords,
                 {"X"}},
        PageCase{"NameSearchCrossesTags",
                 "<param value=\"V1\"><p name=\"keyword\" value=\"V2\">",
                 kKeywords,
                 {"V2"}},
        PageCase{"UnclosedValueDropped", "<param name=\"keyword\" value=\"Dropped", kKeywords, {}},
        PageCase{"EntitiesInValue",
                 "<param name=\"keyword\" value=\"&nbsp;Hello\"><param name=\"keyword\" "
                 "value=\"R&D\"><param name=\"keyword\" value=\"&LT;\">",
                 kKeywords,
                 {"Hello", "R"}},
        PageCase{"KeywordSpellingWinsOverDescription",
                 "<param name=\"keyword\" value=\"APPLE\"><meta name=\"description\" "
                 "content=\"Apple\">",
                 kKeywords | kDescription,
                 {"APPLE"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    MetaDescription, ParsePageTest,
    ::testing::Values(PageCase{"SplitAtSpacesAndCommas",
                               "<meta name=\"description\" content=\"alpha, beta gamma\">",
                               kDescription,
                               {"alpha", "beta", "gamma"}},
                      PageCase{
                          "OnlyTheFirstElement",
                          "<meta name=\"description\" content=\"first\"><meta name=\"description\" "
                          "content=\"second\">",
                          kDescription,
                          {"first"}},
                      PageCase{"OtherMetaSkipped",
                               "<meta name=\"keywords\" content=\"no\"><meta name=\"Description\" "
                               "content=\"yes\">",
                               kDescription,
                               {"yes"}},
                      PageCase{"UnclosedContentDropsPendingWord",
                               "<meta name=\"description\" content=\"one two",
                               kDescription,
                               {"one"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParsePageFilterTest, DigitRule) {
    EXPECT_EQ(Parse("Win95 3D ok", kBody | kExcludeNumbers), Strings{"ok"});
    EXPECT_EQ(Parse("Win95 3D ok", kBody), (Strings{"Win95", "3D", "ok"}));
}

TEST(ParsePageFilterTest, ExcludeLists) {
    TExcludeList defaultList;
    defaultList.AddWord("the");
    defaultList.AddWord("and ");  // with a blank at its end it never matches a word
    TExcludeList secondary;
    secondary.AddWord("Foo");
    const std::string page = "The THE and foo FOO bar";

    EXPECT_EQ(Parse(page, kBody | kUseDefaultExclude, &defaultList),
              (Strings{"and", "foo", "bar"}));
    // The default list is consulted only with its option; the secondary list always.
    EXPECT_EQ(Parse(page, kBody, &defaultList), (Strings{"The", "and", "foo", "bar"}));
    EXPECT_EQ(Parse(page, kBody | kUseDefaultExclude, &defaultList, &secondary),
              (Strings{"and", "bar"}));
    EXPECT_EQ(Parse(page, kBody, nullptr, &secondary), (Strings{"The", "and", "bar"}));
}

TEST(ParsePageFilterTest, OneParserSeesChangedFilters) {
    // The parser remembers per spelling whether it passes; other lists or options start afresh.
    THtmlParser parser;
    TExcludeList first;
    first.AddWord("alpha");
    TExcludeList second;
    second.AddWord("beta");
    TFileWords words;
    parser.ParsePage("alpha beta 42", words, nullptr, &first, kBody | kExcludeNumbers);
    EXPECT_EQ(WordsOf(words), Strings{"beta"});
    words.Clear();
    parser.ParsePage("alpha beta 42", words, nullptr, &second, kBody);
    EXPECT_EQ(WordsOf(words), (Strings{"alpha", "42"}));
}

TEST(ParsePageFilterTest, SameResultWhateverCameBefore) {
    THtmlParser fresh;
    THtmlParser used;
    TFileWords scratch;
    used.ParsePage("<title>Zebra</title>zebra ZEBRA other", scratch, nullptr, nullptr, kAllParts);
    TFileWords a;
    TFileWords b;
    const std::string page = "<title>ZEBRA</title> Other zebra";
    fresh.ParsePage(page, a, nullptr, nullptr, kAllParts);
    used.ParsePage(page, b, nullptr, nullptr, kAllParts);
    EXPECT_EQ(WordsOf(a), WordsOf(b));
}

// Pages cut from the constructs the readers look for, in random order and at random ends: every
// reader must stay inside the page, and every word must be a trimmed, unique word.
TEST(ParsePageRobustnessTest, RandomPages) {
    const Strings pieces = {"<",
                            ">",
                            "&",
                            ";",
                            "\"",
                            "=",
                            " ",
                            "\r\n",
                            "title",
                            "/title",
                            "param",
                            "name",
                            "keyword",
                            "value",
                            "meta",
                            "description",
                            "content",
                            "script",
                            "/script",
                            "style",
                            "Ab",
                            "c9",
                            std::string(1, '\0'),
                            "\xE9",
                            ",",
                            "amp"};
    std::mt19937 random(7);
    THtmlParser parser;
    TFileWords words;
    for (int page = 0; page < 3000; ++page) {
        std::string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) {
            text += pieces[random() % pieces.size()];
        }
        words.Clear();
        parser.ParsePage(text, words, nullptr, nullptr, kAllParts);
        const std::vector<TFileWord>& taken = words.SortedWords();
        for (size_t i = 0; i < taken.size(); ++i) {
            const std::string_view word = taken[i].Word;
            ASSERT_FALSE(word.empty());
            EXPECT_EQ(parser.TrimToAlphanumeric(word), word) << text;
            if (i > 0) {
                EXPECT_FALSE(SameWord(taken[i - 1].Word, word)) << text;
            }
        }
    }
}

TEST(TrimToAlphanumericTest, Edges) {
    EXPECT_EQ(THtmlParser::TrimToAsciiAlphanumeric("(don't)"), "don't");
    EXPECT_EQ(THtmlParser::TrimToAsciiAlphanumeric("--"), "");
    EXPECT_EQ(THtmlParser::TrimToAsciiAlphanumeric("\xE9z\xE9"), "z");
    EXPECT_EQ(THtmlParser::TrimToAsciiAlphanumeric("9"), "9");
}

TEST(IsAssetEntryTest, Extensions) {
    for (const char* asset : {"a.png", "img\\Logo.PNG", "x/y.css", "s.js", "f.woff2", "v.mp4",
                              "dir.htm\\pic.gif", "a.b.JPEG", "m.map", "z.zip", "p.svg"}) {
        EXPECT_TRUE(IsAssetEntry(asset)) << asset;
    }
    for (const char* page : {"a.htm", "a.html", "notes.txt", "README", "img.png\\page.htm",
                             "a.pngx", "a.", ".htaccess", "x.php", "y.hhc"}) {
        EXPECT_FALSE(IsAssetEntry(page)) << page;
    }
}

class ParseFileTest : public ::testing::Test {
protected:
    THtmlParser::ReadResult ParseFile(const std::string& path) {
        words_.Clear();
        return testing::ParseFile(parser_, path, words_, nullptr, nullptr, kBody);
    }
    testing::TempFolder folder_;
    THtmlParser parser_;
    TFileWords words_;
};

TEST_F(ParseFileTest, ReadsAPage) {
    EXPECT_EQ(ParseFile(folder_.Write("a.htm", "<p>one two</p>")), THtmlParser::ReadResult::Read);
    EXPECT_EQ(WordsOf(words_), (Strings{"one", "two"}));
}

TEST_F(ParseFileTest, MissingFileIsUnopenable) {
    const std::string path = folder_.Folder() + "sub/none.htm";
    EXPECT_EQ(ParseFile(path), THtmlParser::ReadResult::Unopenable);
    EXPECT_EQ(words_.Count(), 0u);
}

TEST_F(ParseFileTest, OtherLetterCaseIsFound) {
    folder_.Write("Plants/Roses.htm", "rose");
    EXPECT_EQ(ParseFile(folder_.Folder() + "plants/ROSES.htm"), THtmlParser::ReadResult::Read);
    EXPECT_EQ(WordsOf(words_), Strings{"rose"});
}

TEST_F(ParseFileTest, EmptyFileGivesNoWords) {
    EXPECT_EQ(ParseFile(folder_.Write("e.htm", "")), THtmlParser::ReadResult::Read);
    EXPECT_EQ(words_.Count(), 0u);
}

TEST_F(ParseFileTest, FolderIsUnopenable) {
    folder_.Write("dir.htm/inner.htm", "x");
    EXPECT_EQ(ParseFile(folder_.File("dir.htm")), THtmlParser::ReadResult::Unopenable);
}

}  // namespace
}  // namespace tarnwick
