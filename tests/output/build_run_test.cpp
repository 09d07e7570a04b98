// The build run without a window: what it writes, what it shows, and how it ends.
#include "output/build_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "common/faulty_file_system.h"
#include "common/temp_folder.h"
#include "common/word_sets.h"
#include "output/expected_index.h"
#include "output/html_index_file.h"
#include "platform/file_system.h"

namespace tarnwick {
namespace {

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
        pumpsAtCount.push_back(pumps);
    }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ReportError(std::string_view text) override { errors.emplace_back(text); }

    int pumps = 0;
    bool cancel = false;
    std::function<void(int)> onPump;
    int maximum = -1;
    std::vector<std::string> counts;
    std::vector<int> positions;
    std::vector<int> pumpsAtCount;
    std::vector<std::string> messages;
    std::vector<std::string> errors;
};

class BuildRunTest : public ::testing::Test {
protected:
    BuildRunTest() {
        // Words in list order; TopicIndex refers to `files`.
        testing::MergeWord(words, "Ampersand", 0);
        testing::MergeWord(words, "Help", 0);
        testing::MergeWord(words, "Help", 2);
        testing::MergeWord(words, "Zebra", 1);
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
    // One look at the events before each word (and more while the file is closed, as the disk
    // takes its time).
    EXPECT_EQ(progress.pumpsAtCount, (std::vector<int>{1, 2, 3, 3}));
}

TEST_F(BuildRunTest, IndexNamedWithAnotherExtensionIsWrittenAsHhk) {
    input.IndexFile = "Index.txt";
    Build(true, false);
    EXPECT_EQ(Index(), kFullIndex);
    EXPECT_FALSE(std::filesystem::exists(folder.File("Index.txt")));
}

// No topics, or every word excluded: an empty index would replace the author's good one.
TEST_F(BuildRunTest, EmptyWordListWritesNoIndexAndSaysSo) {
    words.ClearWordList();
    TBuildResult result = Build(true, false);
    EXPECT_FALSE(std::filesystem::exists(folder.File("Index.hhk")));
    EXPECT_EQ(result.Index, IndexEnd::NotWritten);
    EXPECT_EQ(result.Message, kNoWordsMessage);
    EXPECT_EQ(result.Errors, std::vector<std::string>{result.Message});

    folder.Write("Index.hhk", "the previous index");
    result = Build(true, false);
    EXPECT_EQ(result.Message, std::string(kNoWordsMessage) + "\n\"Index.hhk\" is left as it was.");
    EXPECT_EQ(Index(), "the previous index");
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

// A read-only index is replaced but stays read-only; the author's previous version is kept once
// beside it, and only when the new bytes differ.
TEST_F(BuildRunTest, ReplacedFilesKeepTheirModeAndTheirPreviousVersion) {
    const std::string path = folder.Write("Index.hhk", std::string(9000, 'x'));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    folder.Write("Map.h", "// the application's own IDs\r\n");
    settings.Options = kMapTopicHeader;
    TBuildResult result = Build(true, true);
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_EQ(Index(), kFullIndex);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(Slurp(path + ".bak"), std::string(9000, 'x'));
    EXPECT_EQ(Slurp(folder.File("Map.h.bak")), "// the application's own IDs\r\n");
    EXPECT_EQ(result.Notes,
              (std::vector<std::string>{"Index.hhk: previous version kept as Index.hhk.bak",
                                        "Map.h: previous version kept as Map.h.bak"}));
    EXPECT_EQ(result.Message, "Index Successfully Created.\nMap File Successfully Created.\n" +
                                  result.Notes[0] + "\n" + result.Notes[1]);
    EXPECT_FALSE(result.HasProblems());

    // The same bytes again: nothing to keep, the backups stay as they were.
    result = Build(true, true);
    EXPECT_TRUE(result.Notes.empty());
    EXPECT_EQ(Slurp(path + ".bak"), std::string(9000, 'x'));

    // Changed bytes: the backup is the version just replaced.
    testing::MergeWord(words, "Zoo", 0);
    result = Build(true, false);
    EXPECT_EQ(Slurp(path + ".bak"), kFullIndex);
    EXPECT_EQ(result.Notes.size(), 1u);
}

// Names from the project that would write outside its folder, over its sources or through a
// symbolic link are refused with the name and the reason; the other outputs go on.
TEST_F(BuildRunTest, OutputsStayInsideTheProjectAndNeverReplaceItsSources) {
    TempFolder outside;
    const std::string projectFolder = folder.Folder() + "p/";
    std::filesystem::create_directories(projectFolder + "html");
    input.ProjectFile = projectFolder + "S.hhp";
    folder.Write("p/S.hhp", "[FILES]\r\na.htm\r\n");
    folder.Write("p/a.htm", "<p>page</p>");
    folder.Write("p/html/Intro.htm", "<p>intro</p>");
    ASSERT_EQ(::symlink(outside.File("target.h").c_str(), (projectFolder + "link.h").c_str()), 0);
    const std::vector<std::string> topics{"a.htm", "HTML\\intro.htm"};
    struct Case {
        const char* name;
        const char* reason;  // empty: allowed
    };
    const Case cases[] = {
        {"..\\..\\escaped.h", "it lies outside the project's folder."},
        {"../x.h", "it lies outside the project's folder."},
        {"/tmp/x.h", "it lies outside the project's folder."},
        {"html\\..\\..\\x.h", "it lies outside the project's folder."},
        {"S.hhp", "it is the project file."},
        {".\\S.hhp", "it is the project file."},
        {"a.htm", "it is one of the project's topic files."},
        {"html\\Intro.htm", "it is one of the project's topic files."},
        {"link.h", "it is a symbolic link."},
        {"html\\..\\Map.h", ""},
        {"sub\\Map.h", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string problem = OutputNameProblem(input.ProjectFile, c.name, topics);
        EXPECT_EQ(problem, *c.reason == 0
                               ? std::string()
                               : "\"" + std::string(c.name) + "\" was not written: " + c.reason);
    }

    // Through a whole build: the header would overwrite the project file; the alias file goes on.
    const std::vector<std::string> projectFiles{"a.htm"};
    input.Files = &projectFiles;
    settings.Options = kMapAliasFiles;
    settings.AliasFile = "Alias.h";
    settings.MapFile = "S.hhp";
    const TBuildResult result = Build(false, true);
    EXPECT_EQ(result.Errors,
              std::vector<std::string>{"\"S.hhp\" was not written: it is the project file."});
    EXPECT_EQ(Slurp(projectFolder + "S.hhp"), "[FILES]\r\na.htm\r\n");
    EXPECT_TRUE(std::filesystem::exists(projectFolder + "Alias.h"));
    input.IndexFile = "..\\escaped.hhk";
    EXPECT_EQ(Build(true, false).ResultCaption, "Aborted");
    EXPECT_FALSE(std::filesystem::exists(folder.File("escaped.hhk")));
    EXPECT_TRUE(std::filesystem::is_empty(outside.Path()));
}

TEST_F(BuildRunTest, FailedWriteIsAbortedNeverSuccess) {
    testing::TFaultyFileSystem full;
    full.FailAfterBytes = THtmlIndexFile::kHeaderSize + 10;
    input.FileSystem = &full;
    const TBuildResult result = Build(true, false);
    EXPECT_EQ(result.Index, IndexEnd::Failed);
    EXPECT_EQ(result.ResultCaption, "Aborted");
    EXPECT_EQ(result.Message, "A problem occured: No space left on device");
    EXPECT_EQ(result.Errors, std::vector<std::string>{result.Message});
    EXPECT_TRUE(progress.errors.empty());
}

TEST_F(BuildRunTest, IndexThatCannotBeCreatedIsAborted) {
    input.ProjectFile = folder.File("gone/Help.hhp");
    const TBuildResult result = Build(true, false);
    EXPECT_EQ(result.ResultCaption, "Aborted");
    EXPECT_EQ(result.Message, "A problem occured: Cannot create file \"" +
                                  folder.File("gone/Index.hhk") + "\". No such file or directory");
}

TEST_F(BuildRunTest, BigListIsSizedWhileTheFileOpensAndWrittenWhole) {
    // Enough words for the size to be made on a thread of its own, which must neither outlive a
    // file that cannot be created nor change what is written.
    words.ClearWordList();
    std::string expected = kHead;
    for (int i = 0; i < TBuildRun::kSizeAlongsideFrom; ++i) {
        char word[16];
        std::snprintf(word, sizeof word, "w%06d", i);
        testing::MergeWord(words, word, static_cast<TopicIndex>(i % 3));
        expected += Block(word, files[static_cast<size_t>(i % 3)]);
    }
    expected += kTail;
    words.SortWordList();

    input.ProjectFile = folder.File("gone/Help.hhp");
    EXPECT_EQ(Build(true, false).ResultCaption, "Aborted");
    input.ProjectFile = folder.File("Help.hhp");
    EXPECT_EQ(Build(true, false).Index, IndexEnd::Completed);
    EXPECT_TRUE(Index() == expected);  // not printed: megabytes
}

// Closing the index waits for the disk; the window is answered all the while.
TEST_F(BuildRunTest, EventsAreSeenToWhileTheDiskTakesTheIndex) {
    struct SlowDisk : TFileSystem {
        int Sync(int fd) override {
            syncing = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            syncing = false;
            return TFileSystem::Sync(fd);
        }
        std::atomic<bool> syncing = false;
    } disk;
    input.FileSystem = &disk;
    int pumpsWhileSyncing = 0;
    progress.onPump = [&](int) { pumpsWhileSyncing += disk.syncing ? 1 : 0; };
    EXPECT_EQ(Build(true, false).Index, IndexEnd::Completed);
    EXPECT_EQ(Index(), kFullIndex);
    EXPECT_GE(pumpsWhileSyncing, 1);
}

TEST_F(BuildRunTest, TopicOutsideTheTopicListIsAbortedNotACrash) {
    testing::MergeWord(words, "Stray", 7);
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
    ASSERT_EQ(progress.errors.size(), 1u);
    EXPECT_EQ(progress.errors[0], kNoIndexNameMessage);
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
    ASSERT_EQ(progress.errors.size(), 1u);
    EXPECT_EQ(progress.errors[0], kNoAliasNameMessage);
    EXPECT_TRUE(result.HasProblems());

    progress.errors.clear();
    progress = RecordingProgress();
    settings.AliasFile = "Alias.h";
    settings.MapFile = "  ";
    result = Build(false, true);
    EXPECT_EQ(result.Message, kNoMapNameMessage);
    EXPECT_TRUE(std::filesystem::exists(folder.File("Alias.h")));
    ASSERT_EQ(progress.errors.size(), 1u);
    EXPECT_EQ(progress.errors[0], kNoMapNameMessage);
}

TEST_F(BuildRunTest, MapWriterFailureReplacesTheMessageAndTheOtherFileIsStillWritten) {
    settings.Options = kMapAliasFiles;
    settings.MapFile = "no\\such\\Map.h";
    TBuildResult result = Build(true, true);
    const std::string mapFailure = "Failure creating Map.h. No such file or directory";
    EXPECT_EQ(result.Message, mapFailure);
    EXPECT_EQ(result.ResultCaption, "OK");
    EXPECT_EQ(result.Errors, std::vector<std::string>{mapFailure});
    EXPECT_TRUE(std::filesystem::exists(folder.File("Alias.h")));

    settings.AliasFile = "gone/Alias.h";
    result = Build(false, true);
    EXPECT_EQ(result.Message, "Failure creating Alias.h. No such file or directory\n" + mapFailure);
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
