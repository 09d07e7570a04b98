// The parse run: what it loads, in which order it parses and merges, where a cancel takes
// effect, what a missing page, folder or list does, and its texts.
#include "pipeline/parse_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/temp_folder.h"
#include "common/word_sets.h"
#include "pipeline/exclude_list.h"
#include "platform/file_system.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;
using Files = std::vector<TopicIndex>;

// Records everything the run shows; cancels when asked to after a number of pumps.
class RecordingProgress : public TParseProgress {
public:
    void PumpEvents() override {
        ++pumps;
        if (cancelAtPump == pumps) {
            cancel = true;
        }
    }
    bool CancelRequested() override { return cancel; }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ShowCount(std::string_view text, int position) override {
        counts.emplace_back(text);
        positions.push_back(position);
    }
    void NewWords(const std::vector<std::string_view>& words) override {
        newWords.insert(newWords.end(), words.begin(), words.end());
    }
    void WordsSorted() override { ++sorted; }
    void ReportError(std::string_view text) override { errors.emplace_back(text); }

    int pumps = 0;
    int cancelAtPump = -1;
    bool cancel = false;
    Strings messages;
    Strings counts;
    std::vector<int> positions;
    Strings newWords;
    int sorted = 0;
    Strings errors;
};

class ParseRunTest : public ::testing::Test {
protected:
    TParseResult Run(const Strings& files, ParseOptions options = kParseBody) {
        files_ = files;
        input_.ProjectFile = folder_.File("Project.hhp");
        input_.Files = &files_;
        input_.WordList = &wordList_;
        input_.Options = options;
        return RunParse(input_, progress_);
    }
    Strings Words() const {
        Strings words;
        for (const TIndexEntry& entry : wordList_) {
            words.push_back(entry.Word);
        }
        return words;
    }

    testing::TempFolder folder_;
    RecordingProgress progress_;
    TdlgParse_InitData input_;
    TWordList wordList_;
    Strings files_;
};

TEST_F(ParseRunTest, MergesInTopicListOrderAndSorts) {
    folder_.Write("a.htm", "<p>Zebra apple</p>");
    folder_.Write("sub/b.htm", "<p>APPLE mango</p>");
    const TParseResult result = Run({"a.htm", "sub\\b.htm"});
    EXPECT_EQ(result.End, ParseEnd::Completed);
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_EQ(result.ResultMessage, "HTML Files Successfully Parsed.");
    EXPECT_EQ(result.FileCount, 2);
    EXPECT_EQ(result.FileIndex, 2);
    EXPECT_EQ(Words(), (Strings{"apple", "mango", "Zebra"}));
    EXPECT_EQ(testing::FindEntry(wordList_, "Apple")->Files, (Files{0, 1}));
    EXPECT_EQ(progress_.counts,
              (Strings{"1 of 2 Topic Files Parsed", "2 of 2 Topic Files Parsed"}));
    EXPECT_EQ(progress_.positions, (std::vector<int>{1, 2}));
    EXPECT_EQ(progress_.messages,
              (Strings{"a.htm", "sub\\b.htm", "HTML Files Successfully Parsed."}));
    EXPECT_EQ(progress_.newWords, (Strings{"apple", "Zebra", "mango"}));
    EXPECT_EQ(progress_.sorted, 1);
    EXPECT_TRUE(progress_.errors.empty());
}

TEST_F(ParseRunTest, NoTopicFilesEndsAtOnce) {
    testing::MergeWord(wordList_, "stale", 0);
    const TParseResult result = Run({});
    EXPECT_EQ(result.End, ParseEnd::Completed);
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_TRUE(wordList_.empty());
}

TEST_F(ParseRunTest, CancelDuringTheThirdFileFinishesIt) {
    Strings files;
    for (int i = 0; i < 10; ++i) {
        const std::string name = "p" + std::to_string(i) + ".htm";
        folder_.Write(name, "word" + std::string(1, static_cast<char>('a' + i)));
        files.push_back(name);
    }
    // Cancel pressed while the third file is parsed is seen at the pump before the fourth.
    progress_.cancelAtPump = 4;
    const TParseResult result = Run(files);
    EXPECT_EQ(result.End, ParseEnd::Canceled);
    EXPECT_EQ(result.ResultCaption, "Canceled");
    EXPECT_EQ(result.ResultMessage, "User Canceled Parsing.");
    EXPECT_EQ(result.FileIndex, 3);
    EXPECT_EQ(progress_.counts.back(), "3 of 10 Topic Files Parsed");
    EXPECT_EQ(progress_.messages.back(), "User Canceled Parsing.");
    EXPECT_EQ(Words(), (Strings{"worda", "wordb", "wordc"}));
    EXPECT_EQ(progress_.sorted, 1);
}

TEST_F(ParseRunTest, CancelDuringTheLastFileIsASuccess) {
    folder_.Write("a.htm", "a");
    folder_.Write("b.htm", "b");
    progress_.cancelAtPump = 3;  // the third pump comes after the last file is merged
    EXPECT_EQ(Run({"a.htm", "b.htm"}).End, ParseEnd::Completed);
}

TEST_F(ParseRunTest, MissingTopicIsReportedAndTheRunGoesOn) {
    folder_.Write("a.htm", "alpha");
    folder_.Write("c.htm", "gamma");
    const TParseResult result = Run({"a.htm", "sub\\missing.htm", "c.htm"});
    EXPECT_EQ(result.End, ParseEnd::Completed);
    EXPECT_EQ(result.UnopenedFiles, Files{1});
    ASSERT_EQ(progress_.errors.size(), 1u);
    EXPECT_EQ(progress_.errors[0], "Could not open file\n" + folder_.Folder() + "sub/missing.htm");
    EXPECT_EQ(Words(), (Strings{"alpha", "gamma"}));
    EXPECT_EQ(testing::FindEntry(wordList_, "gamma")->Files, Files{2});
}

TEST_F(ParseRunTest, OtherLetterCaseAndBackslashesAreResolved) {
    folder_.Write("Plants/Roses.htm", "rose");
    const TParseResult result = Run({"plants\\ROSES.HTM"});
    EXPECT_TRUE(result.UnopenedFiles.empty());
    EXPECT_EQ(Words(), Strings{"rose"});
}

TEST_F(ParseRunTest, APageThatReportsNoSizeIsReadWhole) {
    // The files of /proc say they hold nothing and have text all the same; a page is read to its
    // end, not to its size.
    std::ifstream in("/proc/version", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.empty()) {
        GTEST_SKIP() << "no /proc/version here";
    }
    folder_.Write("copy.htm", text);
    Run({"copy.htm"});
    const Strings expected = Words();
    ASSERT_GT(expected.size(), 2u);
    std::filesystem::create_symlink("/proc/version", folder_.File("version.htm"));
    const TParseResult result = Run({"version.htm"});
    EXPECT_TRUE(result.UnopenedFiles.empty());
    EXPECT_EQ(Words(), expected);
}

TEST_F(ParseRunTest, AbsoluteEntryIsJoinedToTheFolder) {
    const std::string page = folder_.Write("a.htm", "x");
    const TParseResult result = Run({page});
    EXPECT_EQ(result.UnopenedFiles, Files{0});
    ASSERT_EQ(progress_.errors.size(), 1u);
    EXPECT_EQ(progress_.errors[0], "Could not open file\n" + folder_.Folder() + page);
}

TEST_F(ParseRunTest, AssetsCountAsParsedButAreNeverOpened) {
    folder_.Write("a.htm", "text");
    folder_.Write("logo.png", "PNG IHDR bytes");
    const TParseResult result = Run({"a.htm", "images\\missing.GIF", "logo.png", "style.css"});
    EXPECT_EQ(result.FileIndex, 4);
    EXPECT_TRUE(result.UnopenedFiles.empty());
    EXPECT_TRUE(progress_.errors.empty());
    EXPECT_EQ(Words(), Strings{"text"});
    EXPECT_EQ(progress_.counts.back(), "4 of 4 Topic Files Parsed");
}

TEST_F(ParseRunTest, MissingFolderChangesNothing) {
    testing::MergeWord(wordList_, "kept", 0);
    files_ = {"a.htm"};
    input_.ProjectFile = folder_.Folder() + "gone/Project.hhp";
    input_.Files = &files_;
    input_.WordList = &wordList_;
    const TParseResult result = RunParse(input_, progress_);
    EXPECT_EQ(result.End, ParseEnd::NoFolder);
    EXPECT_EQ(result.ResultCaption, "");
    EXPECT_EQ(Words(), Strings{"kept"});
    EXPECT_EQ(progress_.pumps, 0);
}

TEST_F(ParseRunTest, UnreadableDefaultListRaisesBeforeTheWordListIsCleared) {
    testing::MergeWord(wordList_, "kept", 0);
    folder_.Write("a.htm", "x");
    input_.DefaultListPath = folder_.File("none.txt");
    // Loaded whatever the options say.
    EXPECT_THROW(Run({"a.htm"}, kParseBody), EFOpenError);
    EXPECT_EQ(Words(), Strings{"kept"});
}

TEST_F(ParseRunTest, ListsAreLoadedAndUsed) {
    folder_.Write("a.htm", "The cat and the dog");
    input_.DefaultListPath = folder_.Write("default.txt", "the\r\n");
    input_.SecondaryListPath = folder_.Write("pets.txt", "DOG\r\n");
    Run({"a.htm"}, kParseBody | kUseDefaultExclude);
    EXPECT_EQ(Words(), (Strings{"and", "cat"}));
    // The default list is loaded but not consulted without its option.
    Run({"a.htm"}, kParseBody);
    EXPECT_EQ(Words(), (Strings{"and", "cat", "The"}));
}

TEST_F(ParseRunTest, MissingSecondaryListIsNoList) {
    folder_.Write("a.htm", "dog");
    input_.SecondaryListPath = folder_.File("none.txt");
    EXPECT_EQ(Run({"a.htm"}).End, ParseEnd::Completed);
    EXPECT_EQ(Words(), Strings{"dog"});
}

TEST_F(ParseRunTest, SecondRunReplacesTheFirst) {
    folder_.Write("a.htm", "first");
    Run({"a.htm"});
    folder_.Write("a.htm", "second");
    Run({"a.htm"});
    EXPECT_EQ(Words(), Strings{"second"});
}

TEST(ParseTextsTest, LapsedTime) {
    EXPECT_EQ(LapsedTimeText(1), "Lapsed Time = 0m : 01s");
    EXPECT_EQ(LapsedTimeText(65), "Lapsed Time = 1m : 05s");
    EXPECT_EQ(LapsedTimeText(3599), "Lapsed Time = 59m : 59s");
    EXPECT_EQ(LapsedTimeText(3725), "Lapsed Time = 1h : 2m : 05s");
    EXPECT_EQ(ParseCountText(3, 10), "3 of 10 Topic Files Parsed");
}

TEST(ParseTextsTest, ProjectFolder) {
    EXPECT_EQ(ProjectFolderOf("/home/me/help/Garden.hhp"), "/home/me/help");
    EXPECT_EQ(ProjectFolderOf("/Garden.hhp"), "/");
    EXPECT_EQ(ProjectFolderOf("Garden.hhp"), ".");
    EXPECT_EQ(ProjectFolderOf("rel/Garden.hhp"), "rel");
}

}  // namespace
}  // namespace tarnwick
