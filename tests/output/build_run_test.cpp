// The build run without a window: what it writes, what it shows, and how it ends.
#include "output/build_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "output/expected_index.h"
#include "output/html_index_file.h"
#include "support/file_stream.h"

namespace tarnwick {
namespace {

using testing::ScriptedMesg;
using testing::Slurp;
using testing::TempFolder;

const std::string& kHead = testing::kIndexHead;
const std::string& kTail = testing::kIndexTail;
const auto Block = &testing::IndexBlock;

// Records what a dialog would show, and cancels or changes things on cue.
class RecordingProgress : public TBuildProgress {
public:
    void PumpEvents() override {
        ++pumps;
        if (onPump) {
            onPump(pumps);
        }
    }
    bool CancelRequested() override { return cancel; }
    void SetProgressMaximum(int maximum) override { this->maximum = maximum; }
    void ShowCount(std::string_view countText, int position) override {
        counts.emplace_back(countText);
        positions.push_back(position);
    }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }

    int pumps = 0;
    bool cancel = false;
    std::function<void(int)> onPump;
    int maximum = -1;
    std::vector<std::string> counts;
    std::vector<int> positions;
    std::vector<std::string> messages;
};

class BuildRunTest : public ::testing::Test {
protected:
    BuildRunTest() {
        // Words in list order; TopicIndex refers to `files`.
        words.MergeWord("Ampersand", 0);
        words.MergeWord("Help", 0);
        words.MergeWord("Help", 2);
        words.MergeWord("Zebra", 1);
        input.ProjectFile = folder.File("Help.hhp");
        input.IndexFile = " Index.hhk";
        input.Words = &words;
        input.Files = &files;
        input.MapSettings = [this] { return settings; };
        settings.AliasFile = " Alias.h";
        settings.MapFile = " Map.h";
        settings.MaxNameLength = 5;
    }

    TBuildResult Build(bool index, bool map) {
        input.BuildIndex = index;
        input.BuildMap = map;
        TBuildRun run(input, progress);
        return run.Run();
    }

    std::string Index() const { return Slurp(folder.File("Index.hhk")); }

    TempFolder folder;
    ScriptedMesg mesg;
    const std::vector<std::string> files{"a.htm", "b.htm", "c.htm"};
    TWordList words;
    TMapSettings settings;
    TdlgBuildNdx_InitData input;
    RecordingProgress progress;
};

const std::string kFullIndex = kHead + Block("Ampersand", "a.htm") + Block("Help", "a.htm") +
                               Block("Help", "c.htm") + Block("Zebra", "b.htm") + kTail;

TEST_F(BuildRunTest, IndexHasOneBlockPerWordAndTopicInListOrder) {
    const TBuildResult result = Build(true, false);
    EXPECT_EQ(Index(), kFullIndex);
    EXPECT_EQ(result.Index, IndexEnd::Completed);
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_EQ(result.Message, "Index Successfully Created.");
    EXPECT_FALSE(result.HasProblems());
    EXPECT_EQ(result.IndexPath, folder.File("Index.hhk"));
    // The count shows the words finished before each word, then the end count.
    EXPECT_EQ(progress.maximum, 3);
    EXPECT_EQ(progress.counts,
              (std::vector<std::string>{
                  "0 of 3 Words Inserted From 3 Files", "1 of 3 Words Inserted From 3 Files",
                  "2 of 3 Words Inserted From 3 Files", "3 of 3 Words Inserted From 3 Files"}));
    EXPECT_EQ(progress.positions, (std::vector<int>{1, 2, 3, 3}));
    EXPECT_EQ(progress.pumps, 3);
}

TEST_F(BuildRunTest, IndexNamedWithAnotherExtensionIsWrittenAsHhk) {
    input.IndexFile = "Index.txt";
    Build(true, false);
    EXPECT_EQ(Index(), kFullIndex);
    EXPECT_FALSE(std::filesystem::exists(folder.File("Index.txt")));
}

TEST_F(BuildRunTest, EmptyWordListGivesTheBareIndex) {
    words.ClearWordList();
    const TBuildResult result = Build(true, false);
    EXPECT_EQ(Index().size(), 293u);
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_EQ(progress.counts, (std::vector<std::string>{"0 of 0 Words Inserted From 3 Files"}));
    EXPECT_EQ(progress.positions, (std::vector<int>{0}));
}

TEST_F(BuildRunTest, CancelKeepsTheWordsWrittenAndClosesTheFile) {
    progress.onPump = [this](int pumps) { progress.cancel = pumps == 3; };
    TBuildResult result = Build(true, false);
    EXPECT_EQ(Index(), kHead + Block("Ampersand", "a.htm") + Block("Help", "a.htm") +
                           Block("Help", "c.htm") + kTail);
    EXPECT_EQ(result.Index, IndexEnd::Canceled);
    EXPECT_EQ(result.ResultCaption, "Canceled");
    EXPECT_EQ(result.Message, "Index Successfully Created.");
    EXPECT_EQ(result.WordsDone, 2);
    EXPECT_EQ(progress.counts.back(), "2 of 3 Words Inserted From 3 Files");

    // A map run after the canceled index sets the button to "OK".
    progress = RecordingProgress();
    progress.onPump = [this](int pumps) { progress.cancel = pumps == 3; };
    settings.Options = kMapTopicHeader;
    result = Build(true, true);
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_EQ(result.Index, IndexEnd::Canceled);
}

TEST_F(BuildRunTest, ReadOnlyOldIndexIsOverwritten) {
    const std::string path = folder.Write("Index.hhk", std::string(9000, 'x'));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(Build(true, false).ResultCaption, "OK");
    EXPECT_EQ(Index(), kFullIndex);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
}

TEST_F(BuildRunTest, FailedWriteIsAbortedNeverSuccess) {
    TFileWriter::SetFaultAfterBytes(THtmlIndexFile::kHeaderSize + 10);
    const TBuildResult result = Build(true, false);
    TFileWriter::SetFaultAfterBytes(-1);
    EXPECT_EQ(result.Index, IndexEnd::Failed);
    EXPECT_EQ(result.ResultCaption, "Aborted");
    EXPECT_EQ(result.Message, "A problem occured: No space left on device");
    EXPECT_EQ(result.Errors, std::vector<std::string>{result.Message});
    EXPECT_TRUE(mesg.shown.empty());
}

TEST_F(BuildRunTest, IndexThatCannotBeCreatedIsAborted) {
    input.ProjectFile = folder.File("gone/Help.hhp");
    const TBuildResult result = Build(true, false);
    EXPECT_EQ(result.ResultCaption, "Aborted");
    EXPECT_EQ(result.Message, "A problem occured: Cannot create file \"" +
                                  folder.File("gone/Index.hhk") + "\". No such file or directory");
}

TEST_F(BuildRunTest, TopicOutsideTheTopicListIsAbortedNotACrash) {
    words.MergeWord("Stray", 7);
    const TBuildResult result = Build(true, false);
    EXPECT_EQ(result.ResultCaption, "Aborted");
    EXPECT_EQ(result.Message, "A problem occured: Unknown exception.");
}

TEST_F(BuildRunTest, ProjectWithoutIndexNameWritesNoFileAndSaysWhy) {
    input.IndexFile = " ";
    const TBuildResult result = Build(true, false);
    EXPECT_EQ(result.Index, IndexEnd::Failed);
    EXPECT_EQ(result.ResultCaption, "Aborted");
    EXPECT_EQ(result.Message, std::string(kNoIndexNameMessage));
    ASSERT_EQ(mesg.shown.size(), 1u);
    EXPECT_EQ(mesg.shown[0].text, kNoIndexNameMessage);
    EXPECT_EQ(mesg.shown[0].style, kMbError);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST_F(BuildRunTest, AliasModeWritesBothFilesAfterTheIndex) {
    settings.Options = kParseBody | kMapAliasFiles;
    settings.InitialId = 10;
    const TBuildResult result = Build(true, true);
    EXPECT_EQ(result.Message,
              "Index Successfully Created.\nAlias File && Map File Successfully Created.");
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_EQ(progress.maximum, 5);
    EXPECT_EQ(progress.positions.back(), 5);
    EXPECT_EQ(
        Slurp(folder.File("Alias.h")),
        "; HTML help topic alias file.\r\n; Generated by Tarnwick, Fernhollow Software\r\n\r\n"
        "IDH_A  = a.htm\r\nIDH_B  = b.htm\r\nIDH_C  = c.htm\r\n");
    const std::string header = Slurp(folder.File("Map.h"));
    EXPECT_NE(header.find("#ifndef MAP_H\r\n"), std::string::npos);
    EXPECT_NE(header.find("//#define HH_PSZ_FILE \"Help.chm\"\r\n"), std::string::npos);
    EXPECT_NE(header.find("#define IDH_A  10\r\n#define IDH_B  11\r\n#define IDH_C  12\r\n"),
              std::string::npos);
}

TEST_F(BuildRunTest, MapRunAloneStartsWithALineFeed) {
    settings.Options = kMapAliasFiles;
    const TBuildResult result = Build(false, true);
    EXPECT_EQ(result.Message, "\nAlias File && Map File Successfully Created.");
    EXPECT_EQ(result.Index, IndexEnd::NotRequested);
    EXPECT_FALSE(std::filesystem::exists(folder.File("Index.hhk")));
    // No index: the count line stays empty; the bar stops at its maximum of 2.
    EXPECT_EQ(progress.counts, (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(progress.positions, (std::vector<int>{1, 2, 2}));
}

TEST_F(BuildRunTest, TopicHeaderModeIgnoresTheAliasName) {
    settings.Options = kMapTopicHeader;
    settings.WindowName = "main";
    const TBuildResult result = Build(false, true);
    EXPECT_EQ(result.Message, "\nMap File Successfully Created.");
    EXPECT_FALSE(std::filesystem::exists(folder.File("Alias.h")));
    EXPECT_NE(Slurp(folder.File("Map.h")).find("#define IDH_A   \"Help.chm::/a.htm>main\"\r\n"),
              std::string::npos);
}

TEST_F(BuildRunTest, MissingNamesAreShownInBoxesAndTheRunGoesOn) {
    settings.Options = kMapAliasFiles;
    settings.AliasFile = "";
    TBuildResult result = Build(false, true);
    EXPECT_EQ(result.Message, std::string(kNoAliasNameMessage) + "Map File Successfully Created.");
    EXPECT_TRUE(std::filesystem::exists(folder.File("Map.h")));
    ASSERT_EQ(mesg.shown.size(), 1u);
    EXPECT_EQ(mesg.shown[0].text, kNoAliasNameMessage);
    EXPECT_TRUE(result.HasProblems());

    mesg.shown.clear();
    progress = RecordingProgress();
    settings.AliasFile = "Alias.h";
    settings.MapFile = "  ";
    result = Build(false, true);
    EXPECT_EQ(result.Message, kNoMapNameMessage);
    EXPECT_TRUE(std::filesystem::exists(folder.File("Alias.h")));
    ASSERT_EQ(mesg.shown.size(), 1u);
    EXPECT_EQ(mesg.shown[0].text, kNoMapNameMessage);
    EXPECT_EQ(mesg.shown[0].style, kMbError);
}

TEST_F(BuildRunTest, MapWriterFailureReplacesTheMessageAndTheOtherFileIsStillWritten) {
    settings.Options = kMapAliasFiles;
    settings.MapFile = "no\\such\\Map.h";
    TBuildResult result = Build(true, true);
    EXPECT_EQ(result.Message, "Failure creating Map.h");
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_EQ(result.Errors, std::vector<std::string>{"Failure creating Map.h"});
    EXPECT_TRUE(std::filesystem::exists(folder.File("Alias.h")));

    settings.AliasFile = "gone/Alias.h";
    result = Build(false, true);
    EXPECT_EQ(result.Message, "Failure creating Alias.h\nFailure creating Map.h");
}

TEST_F(BuildRunTest, MapSettingsAreReadWhenTheMapRunStarts) {
    settings.Options = kMapTopicHeader;
    int reads = 0;
    input.MapSettings = [&] {
        ++reads;
        return settings;
    };
    // Changed while the index is written, as the main window could be while events are pumped.
    progress.onPump = [this](int) { settings.WindowName = "late"; };
    Build(true, true);
    EXPECT_EQ(reads, 1);
    EXPECT_NE(Slurp(folder.File("Map.h")).find(">late\""), std::string::npos);
}

TEST_F(BuildRunTest, NothingRequestedStillEndsWithOk) {
    const TBuildResult result = Build(false, false);
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_EQ(result.Message, kNothingToBuildMessage);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(BuildRunTexts, CountAndTimeLines) {
    EXPECT_EQ(BuildCountText(7, 250, 12), "  7 of 250 Words Inserted From 12 Files");
    EXPECT_EQ(BuildCountText(0, 0, 4), "0 of 0 Words Inserted From 4 Files");
    EXPECT_EQ(BuildLapsedTimeText(1), "Lapsed Time = 0m : 01s");
    EXPECT_EQ(BuildLapsedTimeText(65), "Lapsed Time = 1m : 05s");
    EXPECT_EQ(BuildLapsedTimeText(3723), "Lapsed Time = 1h : 02m : 03s");
}

// The run's per-word line is made by hand; it must be BuildCountText's to the byte, at every
// width, including a count of more words than the list has and a negative one.
TEST(BuildRunTexts, FastCountLineIsTheFormattedOne) {
    for (const int wordCount : {0, 9, 10, 99999, 100000, 2147483647}) {
        TCountLine line(wordCount, 3);
        for (const int done : {0, 1, 9, 10, 12345, 99999, 100000, 2147483647, -1, -2147483647}) {
            EXPECT_EQ(line.For(done), BuildCountText(done, wordCount, 3))
                << done << " of " << wordCount;
        }
    }
}

struct PathCase {
    const char* projectFile;
    const char* name;
    const char* indexPath;
    const char* mapPath;
};

class OutputPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(OutputPathTest, NextToTheProjectInTheProjectsSpelling) {
    EXPECT_EQ(IndexFilePath(GetParam().projectFile, GetParam().name), GetParam().indexPath);
    EXPECT_EQ(MapFilePath(GetParam().projectFile, GetParam().name), GetParam().mapPath);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, OutputPathTest,
    ::testing::Values(PathCase{"/h/Help.hhp", "Index.txt", "/h/Index.hhk", "/h/Index.txt"},
                      PathCase{"/h/Help.hhp", "Index", "/h/Index.hhk", "/h/Index"},
                      PathCase{"/h/Help.hhp", "Index.HHK", "/h/Index.hhk", "/h/Index.HHK"},
                      // Only the file-name part's extension changes.
                      PathCase{"/h/Help.hhp", "docs.v2\\Index", "/h/docs.v2\\Index.hhk",
                               "/h/docs.v2\\Index"},
                      PathCase{"/h/Help.hhp", "..\\Index", "/h/..\\Index.hhk", "/h/..\\Index"},
                      // A bare project name: the current folder, where the project is.
                      PathCase{"Help.hhp", "Index.hhk", "Index.hhk", "Index.hhk"},
                      PathCase{"/Help.hhp", "Map.h", "/Map.hhk", "/Map.h"},
                      // Names that name no file never give a file called ".hhk".
                      PathCase{"/h/Help.hhp", "", "", "/h/"},
                      PathCase{"/h/Help.hhp", " .hhk ", "", "/h/ .hhk "},
                      PathCase{"/h/Help.hhp", "html\\.txt", "", "/h/html\\.txt"}));

}  // namespace
}  // namespace tarnwick
