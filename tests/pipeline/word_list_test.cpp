// The per-file word set and the word list: identity under the word comparison, first spellings,
// file order, sorting, and equal words meeting in one entry through the hash index.
#include "pipeline/word_list.h"

#include <gtest/gtest.h>

#include <random>

#include "common/word_sets.h"
#include "pipeline/file_words.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;
using Files = std::vector<TopicIndex>;

Strings WordsOf(const TWordList& list) {
    Strings words;
    for (const TIndexEntry& entry : list) {
        words.push_back(entry.Word);
    }
    return words;
}

void MergeFile(TWordList& list, TFileWords& fileWords, const Strings& words, TopicIndex file,
               Strings* created = nullptr) {
    fileWords.Clear();
    for (const std::string& word : words) {
        testing::AddWord(fileWords, word);
    }
    list.MergeFileWords(fileWords, file, [created](const std::vector<std::string_view>& batch) {
        ASSERT_FALSE(batch.empty());
        if (created) {
            created->insert(created->end(), batch.begin(), batch.end());
        }
    });
}

TEST(FileWordsTest, FirstSpellingWinsAndExactRepeatsAreCheap) {
    TFileWords words;
    EXPECT_TRUE(testing::AddWord(words, "Help"));
    EXPECT_FALSE(testing::AddWord(words, "HELP"));
    EXPECT_FALSE(testing::AddWord(words, "Help"));
    EXPECT_TRUE(testing::AddWord(words, "h\xE9lp"));  // accents make another word
    EXPECT_TRUE(words.HasSpelling("HELP"));
    EXPECT_FALSE(words.HasSpelling("help"));
    ASSERT_EQ(words.Count(), 2u);
    EXPECT_EQ(words.Words()[0].Word, "Help");
}

TEST(FileWordsTest, ClearStartsANewFile) {
    TFileWords words;
    testing::AddWord(words, "Alpha");
    words.Clear();
    EXPECT_FALSE(words.HasSpelling("Alpha"));
    EXPECT_TRUE(testing::AddWord(words, "ALPHA"));
    ASSERT_EQ(words.Count(), 1u);
    EXPECT_EQ(words.Words()[0].Word, "ALPHA");
}

TEST(FileWordsTest, SortedWordsInWordOrder) {
    TFileWords words;
    for (const char* word : {"pear", "Apple",
                             "\xE9"
                             "clair",
                             "banana", "eclair", "10", "2"}) {
        testing::AddWord(words, word);
    }
    Strings sorted;
    for (const TFileWord& word : words.SortedWords()) {
        sorted.emplace_back(word.Word);
    }
    EXPECT_EQ(sorted, (Strings{"10", "2", "Apple", "banana", "eclair",
                               "\xE9"
                               "clair",
                               "pear"}));
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), WordLess()));
}

TEST(FileWordsTest, ManyWordsInOneFile) {
    // Enough words to make every table grow several times.
    TFileWords words;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 5000; ++i) {
            EXPECT_EQ(testing::AddWord(words, "w" + std::to_string(i)), round == 0);
            EXPECT_FALSE(testing::AddWord(words, "W" + std::to_string(i)));
        }
    }
    EXPECT_EQ(words.Count(), 5000u);
    words.Clear();
    EXPECT_EQ(words.Count(), 0u);
    EXPECT_TRUE(testing::AddWord(words, "W42"));
}

TEST(WordListTest, ManyEntries) {
    TWordList list;
    for (TopicIndex i = 0; i < 5000; ++i) {
        EXPECT_TRUE(testing::MergeWord(list, "entry" + std::to_string(i), i));
    }
    for (TopicIndex i = 0; i < 5000; i += 7) {
        const TIndexEntry* entry = testing::FindEntry(list, "ENTRY" + std::to_string(i));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->Files, Files{i});
    }
    list.SortWordList();
    EXPECT_EQ(list.size(), 5000u);
    EXPECT_EQ(list[0].Word, "entry0");
}

TEST(WordListTest, OneEntryPerWordWithFilesInMergeOrder) {
    TWordList list;
    TFileWords fileWords;
    Strings created;
    MergeFile(list, fileWords, {"Help", "topic"}, 0, &created);
    MergeFile(list, fileWords, {"HELP", "Other"}, 1, &created);
    MergeFile(list, fileWords, {"help"}, 2, &created);
    EXPECT_EQ(created, (Strings{"Help", "topic", "Other"}));

    const TIndexEntry* help = testing::FindEntry(list, "hElP");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->Word, "Help");
    EXPECT_EQ(help->Files, (Files{0, 1, 2}));
    EXPECT_EQ(testing::FindEntry(list, "missing"), nullptr);

    list.SortWordList();
    EXPECT_EQ(WordsOf(list), (Strings{"Help", "Other", "topic"}));
}

TEST(WordListTest, FileListedTwiceIsHeldTwice) {
    TWordList list;
    TFileWords fileWords;
    MergeFile(list, fileWords, {"rose"}, 3);
    MergeFile(list, fileWords, {"rose"}, 3);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Files, (Files{3, 3}));
}

TEST(WordListTest, ClearLeavesNothingBehind) {
    TWordList list;
    EXPECT_TRUE(testing::MergeWord(list, "first", 0));
    EXPECT_FALSE(testing::MergeWord(list, "FIRST", 1));
    list.ClearWordList();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(testing::FindEntry(list, "first"), nullptr);
    EXPECT_TRUE(testing::MergeWord(list, "First", 0));
    EXPECT_EQ(list[0].Word, "First");
    EXPECT_EQ(list[0].Files, Files{0});
}

TEST(WordListTest, NoSinkCallForAFileWithoutNewWords) {
    TWordList list;
    TFileWords fileWords;
    MergeFile(list, fileWords, {"a"}, 0);
    int calls = 0;
    fileWords.Clear();
    testing::AddWord(fileWords, "A");
    list.MergeFileWords(fileWords, 1, [&calls](const auto&) { ++calls; });
    EXPECT_EQ(calls, 0);
}

TEST(WordListTest, FileMergedInPartsMakesTheSameEntries) {
    // Words known from an earlier file and new ones, in parts that cut anywhere, the last one
    // short, and parts past the end.
    Strings page;
    for (int i = 0; i < 40; ++i) {
        page.push_back((i % 3 == 0 ? "Known" : "new") + std::to_string(i));
    }
    Strings known;
    for (int i = 0; i < 40; i += 3) {
        known.push_back("KNOWN" + std::to_string(i));
    }
    auto entriesOf = [](const TWordList& list) {
        std::vector<std::pair<std::string, Files>> entries;
        for (const TIndexEntry& entry : list) {
            entries.emplace_back(entry.Word, entry.Files);
        }
        return entries;
    };
    TWordList whole;
    TFileWords fileWords;
    MergeFile(whole, fileWords, known, 0);
    MergeFile(whole, fileWords, page, 1);
    whole.SortWordList();
    for (const size_t part : {size_t{1}, size_t{7}, size_t{40}}) {
        TWordList list;
        MergeFile(list, fileWords, known, 0);
        fileWords.Clear();
        for (const std::string& word : page) {
            testing::AddWord(fileWords, word);
        }
        Strings created;
        for (size_t from = 0; from < 50; from += part) {
            list.MergeFileWords(
                fileWords, 1,
                [&](const auto& words) {
                    created.insert(created.end(), words.begin(), words.end());
                },
                from, part);
        }
        EXPECT_EQ(created.size(), 26u) << part;
        list.SortWordList();
        EXPECT_EQ(entriesOf(list), entriesOf(whole)) << part;
    }
}

// Words equal under the word comparison must meet in one entry through the hash index, for words
// that differ in case, accents, punctuation and bytes the collator ignores.
TEST(WordListTest, EqualWordsShareOneEntry) {
    const Strings pieces = {"a", "A",    "\xE0", "\xC0", "e", "\xE9", "\xC9", "-", "'",
                            "1", "\xDF", "ss",   "\x01", "z", "\x9F", "\xFF", " "};
    std::mt19937 random(12345);
    auto makeWord = [&]() {
        std::string word;
        const int length = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < length; ++i) {
            word += pieces[random() % pieces.size()];
        }
        return word;
    };
    TWordList list;
    for (TopicIndex file = 0; file < 400; ++file) {
        testing::MergeWord(list, makeWord(), file);
    }
    list.SortWordList();
    const Strings words = WordsOf(list);
    for (size_t i = 1; i < words.size(); ++i) {
        EXPECT_LT(CompareWords(words[i - 1], words[i]), 0) << words[i - 1] << " / " << words[i];
    }
}

}  // namespace
}  // namespace tarnwick
