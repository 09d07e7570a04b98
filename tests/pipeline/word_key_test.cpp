// The comparison keys the pipeline hashes and sorts by: the ASCII table must give exactly the
// collator's sort key bytes, so that keys made either way can be mixed; the prefix order of
// the sorts must be the byte order of the keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "pipeline/exclude_list.h"
#include "pipeline/file_words.h"
#include "pipeline/html_parser.h"
#include "pipeline/word_order.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

class AsciiKeyTest : public ::testing::Test {
protected:
    const WordCollator& words = WordCollator::Instance();

    // The key made from the table, or "" when the table declines the word.
    std::string TableKey(std::string_view word) {
        std::string key;
        return words.AppendAsciiKey(word, key) ? key : std::string();
    }
    std::string CollatorKey(std::string_view word) {
        std::string key;
        words.AppendKeyWithCollator(word, key);
        return key;
    }
};

TEST_F(AsciiKeyTest, TablePassedItsCheck) {
    // With the collator the program ships with, the table is in use; if a later collator ever
    // failed the start-up check, every key would come from the collator and this says so.
    EXPECT_TRUE(words.HasAsciiKeys());
    EXPECT_FALSE(TableKey("Index").empty());
}

TEST_F(AsciiKeyTest, EveryWordOfUpToThreeAsciiBytes) {
    std::string word;
    auto check = [&]() {
        std::string table;
        if (words.AppendAsciiKey(word, table)) {
            ASSERT_EQ(table, CollatorKey(word)) << testing::PrintToString(word);
        }
    };
    for (int a = 0; a < 128; ++a) {
        word.assign(1, static_cast<char>(a));
        check();
        for (int b = 0; b < 128; ++b) {
            word.assign({static_cast<char>(a), static_cast<char>(b)});
            check();
            for (int c = 0; c < 128; ++c) {
                word.assign({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
                check();
            }
        }
    }
}

TEST_F(AsciiKeyTest, RandomWordsOfEveryLength) {
    // Lengths past 33 and 66 cross the steps of the accent-run compression.
    std::mt19937 random(20240611);
    const std::string common = "aAzZ09_-.:'~ \t\x01\x7F";
    for (int i = 0; i < 20000; ++i) {
        const size_t length = random() % 100;
        std::string word;
        for (size_t k = 0; k < length; ++k) {
            word += (random() % 3 == 0) ? common[random() % common.size()]
                                        : static_cast<char>(random() % 128);
        }
        const std::string table = TableKey(word);
        ASSERT_FALSE(table.empty()) << testing::PrintToString(word);
        ASSERT_EQ(table, CollatorKey(word)) << testing::PrintToString(word);
    }
}

TEST_F(AsciiKeyTest, OtherBytesGoToTheCollator) {
    for (const std::string word : {"caf\xE9", "\x80", "na\xEFve",
                                   "a\xA0"
                                   "b"}) {
        EXPECT_TRUE(TableKey(word).empty()) << word;
        EXPECT_EQ(words.Key(word), CollatorKey(word)) << word;
    }
    // Mixed in one list, both kinds of key order as the comparison does.
    std::vector<std::string> list = {"cafe", "caf\xE9", "CAFE", "cafes", "caf\xC9s", "Caf"};
    std::sort(list.begin(), list.end(), [&](const std::string& a, const std::string& b) {
        return words.Key(a) < words.Key(b);
    });
    for (size_t i = 1; i < list.size(); ++i) {
        EXPECT_LE(words.CompareWithCollator(list[i - 1], list[i]), 0)
            << list[i - 1] << " / " << list[i];
    }
}

TEST_F(AsciiKeyTest, KeyMakerRemembersCollatorKeysCorrectly) {
    TKeyMaker keys;
    for (int round = 0; round < 3; ++round) {
        for (const std::string word : {"r\xE9sum\xE9", "resume", "\xC4pfel", "x"}) {
            EXPECT_EQ(std::string(keys.KeyOf(word)), words.Key(word)) << word;
        }
    }
}

TEST(KeyPrefixTest, PrefixOrderIsByteOrder) {
    // Keys that share long beginnings, differ at each of the first twenty bytes, or end early.
    std::mt19937 random(99);
    std::vector<std::string> keys;
    const std::string stem = "\x2A\x2C\x2E\x30\x32\x34\x36\x38\x3A\x3C\x3E\x40\x42\x44\x46\x48\x4A";
    for (size_t cut = 0; cut <= stem.size(); ++cut) {
        keys.push_back(stem.substr(0, cut));
        for (int i = 0; i < 4; ++i) {
            keys.push_back(stem.substr(0, cut) + static_cast<char>(1 + random() % 255) +
                           std::string(random() % 3, '\x05'));
        }
    }
    for (const std::string& a : keys) {
        for (const std::string& b : keys) {
            const int byBytes = a.compare(b);
            const int byPrefix = KeyCompare(TKeyPrefix::Of(a), a, TKeyPrefix::Of(b), b);
            ASSERT_EQ((byBytes > 0) - (byBytes < 0), (byPrefix > 0) - (byPrefix < 0))
                << testing::PrintToString(a) << " / " << testing::PrintToString(b);
        }
    }
}

TEST(KeyPrefixTest, OrderByKeyOnTwoThreadsIsTheOrderOfTheBytes) {
    // Few distinct keys, so that equal keys fall in both halves and must keep their positions,
    // with long shared beginnings and the empty key; odd counts split unevenly.
    std::mt19937 random(7);
    const std::string stem(20, '\x30');
    for (const size_t count : {kParallelOrderFrom - 1, kParallelOrderFrom + 1, size_t{100001}}) {
        std::vector<std::string> keys;
        for (size_t i = 0; i < count; ++i) {
            const unsigned pick = random() % 64;
            keys.push_back(pick == 0 ? std::string() : stem.substr(0, pick % 21) + char(pick));
        }
        std::vector<std::uint32_t> expected(count);
        for (size_t i = 0; i < count; ++i) {
            expected[i] = static_cast<std::uint32_t>(i);
        }
        std::stable_sort(expected.begin(), expected.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
        for (const int threads : {1, 2}) {
            const auto keyOf = [&](size_t i) { return std::string_view(keys[i]); };
            EXPECT_EQ(OrderByKey(count, keyOf, threads), expected)
                << count << " keys, " << threads << " threads";
        }
    }
}

// A file remembers the filters' verdict per key for words of the ASCII table; a spelling outside
// the table with the same key still gets its own verdict, since its digits may differ.
TEST(FileWordsVerdictTest, EqualSpellingsWithDifferentDigits) {
    // "x", a superscript one and "y" is the same word as "x1y", but holds no digit.
    ASSERT_EQ(WordCollator::Instance().Key("x1y"), WordCollator::Instance().Key("x\xB9y"));
    auto parse = [](std::string_view page) {
        THtmlParser parser;
        TFileWords words;
        TExcludeList list;
        list.AddWord("Stop");
        parser.ParsePage(page, words, &list, nullptr,
                         kParseBody | kParseKeywords | kExcludeNumbers | kUseDefaultExclude);
        std::vector<std::string> taken;
        for (const TFileWord& word : words.Words()) {
            taken.emplace_back(word.Word);
        }
        return taken;
    };
    using Strings = std::vector<std::string>;
    EXPECT_EQ(parse("x1y X1Y x\xB9y X\xB9Y"), Strings{"x\xB9y"});
    EXPECT_EQ(parse("x\xB9y x1y"), Strings{"x\xB9y"});
    // A byte the collator ignores makes no other word: refused with the list's word.
    EXPECT_EQ(parse("STOP stop word <param name=\"keyword\" value=\"St\x01op\">"), Strings{"word"});
    EXPECT_EQ(parse("<param name=\"keyword\" value=\"St\x01op\"> Stop"), Strings{});
    EXPECT_EQ(parse("a1b b A1B"), Strings{"b"});
}

}  // namespace
}  // namespace tarnwick
