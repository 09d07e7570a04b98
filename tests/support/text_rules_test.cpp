#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/ansi_case.h"
#include "support/code_page.h"
#include "support/cp1252.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

TEST(Cp1252Test, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const TCodePage& cp1252 = TCodePage::Windows1252();
    std::u16string text = cp1252.DecodeShown(all);
    ASSERT_EQ(text.size(), 256u);
    std::string back;
    ASSERT_TRUE(cp1252.EncodeShown(text, back));
    EXPECT_EQ(back, all);
    // No two bytes share a character, or the round trip above could not hold for both.
    std::vector<char16_t> sorted(text.begin(), text.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(Cp1252Test, HighControlsAndUndefinedBytes) {
    EXPECT_EQ(Cp1252ToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(Cp1252ToUnicode(0x9F), u'\u0178');
    EXPECT_EQ(Cp1252ToUnicode(0x8A), u'\u0160');
    for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(Cp1252ToUnicode(undefined), static_cast<char16_t>(undefined));
    }
    EXPECT_EQ(Cp1252ToUnicode(0xE9), u'\u00E9');
}

TEST(Cp1252Test, CharactersOutsideTheCodePageAreRefused) {
    const TCodePage& cp1252 = TCodePage::Windows1252();
    std::string out;
    EXPECT_FALSE(cp1252.EncodeShown(u"caf\u00E9 \u4E2D", out));
    // C1 control that Windows-1252 uses for the euro
    EXPECT_FALSE(cp1252.EncodeShown(u"\u0080", out));
    EXPECT_TRUE(cp1252.EncodeShown(u"\u20AC\u0081", out));
    EXPECT_EQ(out, "\x80\x81");
}

TEST(AnsiCaseTest, PairsInsideAndOutsideAscii) {
    EXPECT_EQ(AnsiUpperCase("abc xyz"), "ABC XYZ");
    EXPECT_EQ(AnsiLowerCase("\xC0\xDE\x8A\x8C\x8E\x9F"), "\xE0\xFE\x9A\x9C\x9E\xFF");
    EXPECT_EQ(AnsiUpperCase("\xE0\xFE\x9A\x9C\x9E\xFF"), "\xC0\xDE\x8A\x8C\x8E\x9F");
    // Multiplication and division signs, sharp s and the micro sign have no partner.
    EXPECT_EQ(AnsiUpperCase("\xF7\xDF\xB5"), "\xF7\xDF\xB5");
    EXPECT_EQ(AnsiLowerCase("\xD7"), "\xD7");
    for (int b = 0; b < 256; ++b) {
        const auto u = static_cast<unsigned char>(b);
        if (AnsiUpper(u) != u) {
            EXPECT_EQ(AnsiLower(AnsiUpper(u)), u) << b;
        }
    }
}

// Words moved to an exclude list are lowered in their project's code page, whole characters at
// a time.
TEST(AnsiCaseTest, LowerCaseTakesWholeCharactersOfTheCodePage) {
    const struct {
        int codePage;
        std::string text;
        std::string lower;
        const char* why;
    } cases[] = {
        {1252, "\xC0\xDE\x8A\x9F\xD7", "\xE0\xFE\x9A\xFF\xD7", "the ANSI table as before"},
        {1251, "\xD0\xEE\xE7\xFB", "\xF0\xEE\xE7\xFB", "Rozy: Cyrillic capitals"},
        {1251, "\xD7\xDF\xA8\x80", "\xF7\xFF\xB8\x90", "Ch, Ya, Yo, Dje: not in the table"},
        {1251, "\x9F\xFF\x98", "\x9F\xFF\x98", "small dzhe and ya stay; 0x98 is none"},
        {1250,
         "\xA3\xD3"
         "DZ",
         "\xB3\xF3"
         "dz",
         "Polish L with stroke and O acute"},
        {932, "\x83\x41\x83\x4E", "\x83\x41\x83\x4E", "katakana: trail bytes A and N stay"},
        {932, "\x82\x60X", "\x82\x81x", "fullwidth A lowers to fullwidth a"},
        {932, "\x83", "\x83", "a lead byte at the end"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LowerCase(c.text, TCodePage::For(c.codePage)), c.lower)
            << c.codePage << ": " << c.why;
    }
}

TEST(AnsiCaseTest, FixedTextsMatchAsciiLettersOnly) {
    EXPECT_TRUE(EqualsAsciiNoCase("[FILES]", "[files]"));
    EXPECT_FALSE(EqualsAsciiNoCase("\xC9", "\xE9"));  // only ASCII letters fold
    EXPECT_FALSE(EqualsAsciiNoCase("title", "titl"));
}

class WordCompareTest : public ::testing::Test {
protected:
    const WordCollator& words = WordCollator::Instance();
    int Sign(int x) { return (x > 0) - (x < 0); }
};

TEST_F(WordCompareTest, LetterCaseIsIgnoredAccentsAreNot) {
    EXPECT_EQ(words.Compare("Index", "INDEX"), 0);
    EXPECT_EQ(words.Compare("\xC9t\xE9", "\xE9T\xC9"), 0);  // Été / éTÉ
    EXPECT_NE(words.Compare("ete", "\xE9t\xE9"), 0);
    EXPECT_LT(words.Compare("ete", "\xE9t\xE9"), 0);
    EXPECT_LT(words.Compare("\xE9t\xE9", "etf"), 0);  // accents only break ties
    EXPECT_EQ(words.Key("Word"), words.Key("wORD"));
    EXPECT_NE(words.Key("resume"), words.Key("r\xE9sum\xE9"));
}

TEST_F(WordCompareTest, EmptyWordSortsFirst) {
    EXPECT_EQ(words.Compare("", ""), 0);
    EXPECT_LT(words.Compare("", "a"), 0);
    EXPECT_GT(words.Compare("a", ""), 0);
    EXPECT_LT(words.Key(""), words.Key("a"));
}

TEST_F(WordCompareTest, ReaderOrderNotByteOrder) {
    std::vector<std::string> list = {"zebra",
                                     "Apple",
                                     "apple2",
                                     "_under",
                                     "10",
                                     "9",
                                     "\xC4pfel",
                                     "apfel",
                                     "Zoo",
                                     "\x9A"
                                     "esir"};
    std::sort(list.begin(), list.end(), WordLess());
    const std::vector<std::string> expected = {"_under",
                                               "10",
                                               "9",
                                               "apfel",
                                               "\xC4pfel",
                                               "Apple",
                                               "apple2",
                                               "\x9A"
                                               "esir",
                                               "zebra",
                                               "Zoo"};
    EXPECT_EQ(list, expected);
}

TEST_F(WordCompareTest, KeysOrderAsTheComparison) {
    const std::vector<std::string> sample = {"",
                                             "a",
                                             "A",
                                             "ab",
                                             "a-b",
                                             "a b",
                                             "\xE0",
                                             "\xC6on",
                                             "aeon",
                                             "stra\xDF"
                                             "e",
                                             "strasse",
                                             "\x80",
                                             "x\x01y",
                                             "xy",
                                             "\xAD",
                                             "co\x9Cur",
                                             "coeur"};
    for (const auto& a : sample) {
        for (const auto& b : sample) {
            const int byKey = Sign(words.Key(a).compare(words.Key(b)));
            EXPECT_EQ(byKey, Sign(words.Compare(a, b))) << a << " / " << b;
        }
    }
}

// The plain-ASCII shortcut must give exactly what the collator gives, including for control
// bytes and punctuation.
TEST_F(WordCompareTest, AsciiShortcutAgreesWithCollator) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> length(0, 6);
    const std::string alphabet = std::string("aAbBzZ09 -_.'&;,!~\t\x01\x1F\x7F") + "mMnN";
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> anyAscii(0, 127);
    auto make = [&](bool full) {
        std::string s;
        for (int i = length(random); i > 0; --i)
            s.push_back(full ? static_cast<char>(anyAscii(random)) : alphabet[pick(random)]);
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string a = make(i % 2 == 0);
        const std::string b = make(i % 3 == 0);
        ASSERT_EQ(Sign(words.Compare(a, b)), Sign(words.CompareWithCollator(a, b)))
            << "[" << a << "] [" << b << "]";
    }
    for (int x = 0; x < 128; ++x) {
        for (int y = 0; y < 128; ++y) {
            const std::string a(1, static_cast<char>(x));
            const std::string b = std::string(1, static_cast<char>(y)) + "a";
            ASSERT_EQ(Sign(words.Compare(a, b)), Sign(words.CompareWithCollator(a, b)));
            ASSERT_EQ(Sign(words.Compare(a + a, a)), Sign(words.CompareWithCollator(a + a, a)));
        }
    }
}

}  // namespace
}  // namespace tarnwick
