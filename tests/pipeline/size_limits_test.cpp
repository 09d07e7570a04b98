// Inputs far beyond what help authors write by hand, but what generated or damaged files hold:
// each is read to the end with the results the rules give, in memory in proportion to its size.
// (The largest cases - a page of 200 MB, a word of 50 MB, 100,000 topic files - run in
// scripts/stress.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/page_reading.h"
#include "common/temp_folder.h"
#include "common/word_sets.h"
#include "output/map_file.h"
#include "pipeline/exclude_list.h"
#include "pipeline/file_words.h"
#include "pipeline/hhp_scanner.h"
#include "pipeline/html_parser.h"

namespace tarnwick {
namespace {

using testing::Slurp;
using testing::TempFolder;

std::string Repeat(std::string_view text, std::size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// The words of a page under the options, in the order they were added.
std::vector<std::string> WordsOf(const std::string& page, ParseOptions options) {
    THtmlParser parser;
    TFileWords words;
    parser.ParsePage(page, words, nullptr, nullptr, options);
    std::vector<std::string> out;
    for (const TFileWord& word : words.Words()) {
        out.emplace_back(word.Word);
    }
    return out;
}

std::string KeywordPage(const std::string& value) {
    return "<object><param name=\"Keyword\" value=\"" + value + "\"></object>";
}

TEST(SizeLimitsTest, AKeywordOfMegabytesOfEntitiesIsSplitWithoutRecursion) {
    // Split once per "&" and ";": 1.5 million rounds, which no call stack would hold.
    const std::string value = Repeat("&x;", 500000) + "last";
    EXPECT_EQ(WordsOf(KeywordPage(value), kParseKeywords), std::vector<std::string>{"last"});
}

TEST(SizeLimitsTest, SemicolonsBeforeAnAmpersandStartAtMostSixteenWordsEndingThere) {
    // Each ";" before the "&" starts one more word that ends at it; the words of a value with a
    // handful of them are the rules' words.
    EXPECT_EQ(WordsOf(KeywordPage("C++; C#; Visual Basic &amp; VBA"), kParseKeywords),
              (std::vector<std::string>{"C++; C#; Visual Basic", "C#; Visual Basic", "Visual Basic",
                                        "VBA"}));
    auto suffixes = [](int count) {
        std::vector<std::string> words;
        for (int i = 0; i <= count; ++i) {
            std::string word;
            for (int k = i; k < count; ++k) {
                word += "w" + std::to_string(k) + ";";
            }
            words.push_back(word + "tail");
        }
        return words;
    };
    auto value = [](int count) {
        std::string text;
        for (int k = 0; k < count; ++k) {
            text += "w" + std::to_string(k) + ";";
        }
        return text + "tail&amp;end";
    };
    // Fifteen ";": sixteen words end at the "&", as the rules give them.
    std::vector<std::string> expected = suffixes(15);
    expected.push_back("end");
    EXPECT_EQ(WordsOf(KeywordPage(value(15)), kParseKeywords), expected);
    // Twenty: the first sixteen and the last are kept, the four between passed over.
    std::vector<std::string> all = suffixes(20);
    expected.assign(all.begin(), all.begin() + 16);
    expected.push_back(all.back());
    expected.push_back("end");
    EXPECT_EQ(WordsOf(KeywordPage(value(20)), kParseKeywords), expected);

    // 200,000 of them would have made 40 GB of words; now seventeen words of at most 400 KB.
    const std::string huge = Repeat("a;", 200000) + "tail&";
    const std::vector<std::string> words = WordsOf(KeywordPage(huge), kParseKeywords);
    ASSERT_EQ(words.size(), 17u);
    EXPECT_EQ(words.front(), huge.substr(0, huge.size() - 1));
    EXPECT_EQ(words.back(), "tail");
}

TEST(SizeLimitsTest, AWordOfMegabytesIsOneWord) {
    const std::string word = Repeat("abcdefghij", 800000);
    for (const ParseOptions options : {kParseBody, kParseTitle}) {
        const std::string page = "<title>Start " + word + " end</title>" + "Start " + word + " end";
        const std::vector<std::string> words = WordsOf(page, options);
        ASSERT_EQ(words.size(), 3u);
        EXPECT_EQ(words[1], word);  // body words in page order, title words from the end
    }
}

TEST(SizeLimitsTest, AProjectLineOfTenMegabytesIsOneTopicEntry) {
    const std::string longName = Repeat("verylongname", 900000) + ".htm";
    std::string project = "[OPTIONS]\r\nIndex file=Index.hhk\r\n[FILES]\r\na.htm\r\n" + longName +
                          "\r\nb.htm\r\n[ALIAS]\r\n#include Alias.h\r\n";
    const THhpScanResult scan = THhpScanner::ScanBytes(project);
    ASSERT_EQ(scan.Files.size(), 3u);
    EXPECT_EQ(scan.Files[0], "a.htm");
    EXPECT_EQ(scan.Files[1], "b.htm");
    EXPECT_EQ(scan.Files[2], longName);
    EXPECT_EQ(scan.MaxNameLength, static_cast<int>(longName.size()));
    EXPECT_EQ(scan.AliasCaption, " Alias.h");

    // The alias file aligns its lines in at most a path's width: the long entry does not pad
    // every other line to its own length.
    TempFolder folder;
    std::vector<std::string> topics = scan.Files;
    for (int i = 0; i < 1000; ++i) {
        topics.push_back("page" + std::to_string(i) + ".htm");
    }
    {
        TAliasFile alias(folder.File("Alias.h"), topics);
        alias.SetNameWidth(scan.MaxNameLength);
        alias.WriteMapFile(0);
        alias.Close();
    }
    const std::string written = Slurp(folder.File("Alias.h"));
    EXPECT_LT(written.size(), 2 * longName.size() + 1000 * 300);
    EXPECT_NE(written.find("IDH_A" + std::string(TMapFileBase::kMaxNameWidth - 6, ' ') + "= a.htm"),
              std::string::npos);
}

TEST(SizeLimitsTest, AProjectOfAHundredThousandTopicsIsScannedWhole) {
    std::string project = "[FILES]\r\n";
    for (int i = 99999; i >= 0; --i) {
        project += "html\\page" + std::to_string(i) + ".htm\r\n";
    }
    const THhpScanResult scan = THhpScanner::ScanBytes(project);
    ASSERT_EQ(scan.Files.size(), 100000u);
    EXPECT_EQ(scan.Files.front(), "html\\page0.htm");
    EXPECT_EQ(scan.Files.back(), "html\\page99999.htm");
    EXPECT_EQ(scan.MaxNameLength, 18);
}

TEST(SizeLimitsTest, AnExcludeListLineOfTenMegabytesIsOneWord) {
    TempFolder folder;
    const std::string longWord = Repeat("excluded", 1300000);
    const std::string path = folder.Write("list.txt", "the\r\n" + longWord + "\r\nand");
    const TExcludeList list(path);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_TRUE(testing::IsExcluded(list, longWord));
    EXPECT_FALSE(testing::IsExcluded(list, longWord.substr(1)));
}

TEST(SizeLimitsTest, APageThatIsNoFileIsUnopenableNotEndless) {
    // A pipe would wait for a writer for ever, /dev/zero would never end.
    TempFolder folder;
    const std::string pipe = folder.File("pipe.htm");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const std::string zero = folder.File("zero.htm");
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    const std::string page = folder.Write("page.htm", "<body>words</body>");
    THtmlParser parser;
    TFileWords words;
    for (const std::string& path : {pipe, zero}) {
        EXPECT_EQ(testing::ParseFile(parser, path, words, nullptr, nullptr, kParseBody),
                  THtmlParser::ReadResult::Unopenable);
    }
    EXPECT_EQ(testing::ParseFile(parser, page, words, nullptr, nullptr, kParseBody),
              THtmlParser::ReadResult::Read);
    EXPECT_EQ(words.Count(), 1u);
}

}  // namespace
}  // namespace tarnwick
