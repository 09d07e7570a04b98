// What a parser remembers from file to file (the lexicon of spellings, keys and filter verdicts)
// and what the merge remembers per lexicon store must never change a result: not when a store
// fills up and is replaced, not when files of several parsers are merged in turn, not when a
// list's words change between pages.
#include "pipeline/lexicon.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/word_sets.h"
#include "pipeline/exclude_list.h"
#include "pipeline/file_words.h"
#include "pipeline/html_parser.h"
#include "pipeline/text_map.h"
#include "pipeline/word_list.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;

Strings WordsOf(const TFileWords& words) {
    Strings out;
    for (const TFileWord& word : words.Words()) {
        out.emplace_back(word.Word);
    }
    return out;
}

// Pages that share many words in changing letter case, with a few digits and accents, so that
// first spellings, repeats across files and the filters all matter.
std::vector<std::string> SamplePages(size_t count, unsigned seed) {
    const Strings vocabulary = {"Alpha", "alpha",  "ALPHA",   "beta",    "Beta",   "gamma",
                                "x1y",   "x\xB9y", "caf\xE9", "CAF\xC9", "the",    "The",
                                "stop",  "Stop",   "delta",   "epsilon", "zeta42", "Omega"};
    std::mt19937 random(seed);
    std::vector<std::string> pages;
    for (size_t i = 0; i < count; ++i) {
        std::string page = "<title>Page " + std::to_string(i) + "</title><p>";
        const size_t words = 5 + random() % 40;
        for (size_t w = 0; w < words; ++w) {
            if (random() % 4 == 0) {
                page += "only" + std::to_string(random() % 500) + "x ";  // rare words
            } else {
                page += vocabulary[random() % vocabulary.size()] + " ";
            }
        }
        page += "<param name=\"keyword\" value=\"Alpha beta\"></p>";
        pages.push_back(page);
    }
    return pages;
}

struct MergedRun {
    std::vector<std::pair<std::string, std::vector<TopicIndex>>> Entries;
    Strings Batches;
    friend bool operator==(const MergedRun&, const MergedRun&) = default;
};

// Parses the pages with `parsers` in turn (page i by parser i % count, as worker threads take
// pages) and merges them in page order into one word list.
MergedRun ParseAndMerge(const std::vector<std::string>& pages, std::vector<THtmlParser>& parsers,
                        const TExcludeList* list) {
    const ParseOptions options =
        kParseBody | kParseTitle | kParseKeywords | kExcludeNumbers | kUseDefaultExclude;
    TWordList wordList;
    MergedRun run;
    std::vector<TFileWords> inFlight(parsers.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        TFileWords& words = inFlight[i % parsers.size()];
        words.Clear();
        parsers[i % parsers.size()].ParsePage(pages[i], words, list, nullptr, options);
        wordList.MergeFileWords(words, static_cast<TopicIndex>(i),
                                [&run](const std::vector<std::string_view>& batch) {
                                    std::string text;
                                    for (std::string_view word : batch) {
                                        text += std::string(word) + " ";
                                    }
                                    run.Batches.push_back(text);
                                });
    }
    wordList.SortWordList();
    for (const TIndexEntry& entry : wordList) {
        run.Entries.emplace_back(entry.Word, entry.Files);
    }
    return run;
}

TEST(LexiconTest, FullStoresAndSeveralParsersChangeNoResult) {
    const std::vector<std::string> pages = SamplePages(300, 7);
    TExcludeList list;
    list.AddWord("the");
    list.AddWord("STOP");
    std::vector<THtmlParser> one(1);
    const MergedRun expected = ParseAndMerge(pages, one, &list);
    ASSERT_FALSE(expected.Entries.empty());

    // A store of a few hundred bytes is replaced every page or two.
    std::vector<THtmlParser> tiny;
    tiny.emplace_back(512);
    EXPECT_EQ(ParseAndMerge(pages, tiny, &list), expected);

    std::vector<THtmlParser> three(3);
    EXPECT_EQ(ParseAndMerge(pages, three, &list), expected);

    std::vector<THtmlParser> threeTiny;
    for (int i = 0; i < 3; ++i) {
        threeTiny.emplace_back(2048);
    }
    EXPECT_EQ(ParseAndMerge(pages, threeTiny, &list), expected);
}

TEST(LexiconTest, ChangedListWordsAreSeenByTheSameParser) {
    THtmlParser parser;
    TExcludeList list;
    list.AddWord("beta");
    TFileWords words;
    const ParseOptions options = kParseBody | kUseDefaultExclude;
    parser.ParsePage("alpha beta gamma", words, &list, nullptr, options);
    EXPECT_EQ(WordsOf(words), (Strings{"alpha", "gamma"}));

    list.AddWord("GAMMA");
    words.Clear();
    parser.ParsePage("alpha beta gamma", words, &list, nullptr, options);
    EXPECT_EQ(WordsOf(words), Strings{"alpha"});

    // Another list, or the same list no longer consulted, starts afresh.
    TExcludeList other;
    other.AddWord("alpha");
    words.Clear();
    parser.ParsePage("alpha beta gamma", words, &other, nullptr, options);
    EXPECT_EQ(WordsOf(words), (Strings{"beta", "gamma"}));
    words.Clear();
    parser.ParsePage("alpha beta gamma", words, &list, nullptr, options & ~kUseDefaultExclude);
    EXPECT_EQ(WordsOf(words), (Strings{"alpha", "beta", "gamma"}));
}

TEST(LexiconTest, FilesFilledInTurnFromOneStoreStayApart) {
    // Both files share the thread's store; each keeps its own first spellings and repeats.
    TFileWords a;
    TFileWords b;
    EXPECT_TRUE(testing::AddWord(a, "Word"));
    EXPECT_TRUE(testing::AddWord(b, "WORD"));
    EXPECT_FALSE(testing::AddWord(a, "WORD"));
    EXPECT_FALSE(testing::AddWord(b, "word"));
    EXPECT_TRUE(testing::AddWord(b, "other"));
    EXPECT_TRUE(testing::AddWord(a, "Other"));
    EXPECT_EQ(WordsOf(a), (Strings{"Word", "Other"}));
    EXPECT_EQ(WordsOf(b), (Strings{"WORD", "other"}));
    EXPECT_FALSE(a.HasSpelling("word"));
    EXPECT_TRUE(b.HasSpelling("word"));
}

TEST(LexiconTest, PageWithMoreNewWordsThanWaitAtOnce) {
    // Far more new spellings than wait for the lexicon at once; an equal spelling far down the
    // page must still find the first one, and every word stays in page order.
    std::string page;
    Strings expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string word = "w" + std::to_string(i) + "x";
        page += word + " ";
        expected.push_back(word);
    }
    for (int i = 0; i < 20000; i += 7) {
        page += "W" + std::to_string(i) + "X ";
    }
    page += "last";
    expected.push_back("last");
    THtmlParser parser;
    TFileWords words;
    parser.ParsePage(page, words, nullptr, nullptr, kParseBody);
    EXPECT_EQ(WordsOf(words), expected);
}

TEST(LexiconStoreTest, InternKeepsIdsAndKeys) {
    TLexiconStore store;
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 10000; ++i) {
        const std::string word = "Word" + std::to_string(i);
        ids.push_back(store.Intern(word, HashText(word)));
    }
    // Growing the table keeps every id, text and key.
    for (int i = 0; i < 10000; ++i) {
        const std::string word = "Word" + std::to_string(i);
        ASSERT_EQ(store.Intern(word, HashText(word)), ids[static_cast<size_t>(i)]);
        const TLexiconStore::Spelling& spelling = store.SpellingAt(ids[static_cast<size_t>(i)]);
        ASSERT_EQ(spelling.View(), word);
        ASSERT_EQ(spelling.KeyView(), WordCollator::Instance().Key(word));
        ASSERT_EQ(spelling.KeyHash, HashText(spelling.KeyView()));
    }
    EXPECT_EQ(store.SpellingCount(), 10000u);
    // A spelling outside the ASCII table gets the collator's key.
    const std::string accented = "\xC9t\xE9";
    const std::uint32_t id = store.Intern(accented, HashText(accented));
    EXPECT_EQ(store.SpellingAt(id).KeyView(), WordCollator::Instance().Key(accented));
}

}  // namespace
}  // namespace tarnwick
