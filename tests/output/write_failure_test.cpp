// Every file Tarnwick writes, on a full disk and with a write, a sync or a rename that fails after
// any number of bytes: the failure reaches the user as a failure with the system's text, never as
// success, and the file that was there before is left exactly as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "common/faulty_file_system.h"
#include "common/temp_folder.h"
#include "common/word_sets.h"
#include "output/build_run.h"
#include "output/word_list_export.h"
#include "pipeline/exclude_list.h"
#include "platform/file_system.h"

namespace tarnwick {
namespace {

using testing::Slurp;
using testing::TempFolder;
using testing::TFaultyFileSystem;

constexpr std::string_view kNoSpace = "No space left on device";

// One writer as the user starts it. Run returns the failure the user is shown (empty when the
// run reports success) and must then have reported success in the user's terms.
struct Writer {
    std::string Name;
    std::string File;  // the file it writes, in the folder of the project
    std::function<std::string(const TempFolder&, TFileSystem&)> Run;
    // Whether the file's name comes from the project (the build's outputs) rather than the user.
    bool FromProject = true;
    // The file the same run writes before this one, if any.
    std::string After;
};

void PrintTo(const Writer& writer, std::ostream* out) {
    *out << writer.Name;
}

// The word list and topics every build writes.
struct Project {
    Project() {
        testing::MergeWord(words, "Ampersand", 0);
        testing::MergeWord(words, "Help", 0);
        testing::MergeWord(words, "Help", 2);
        testing::MergeWord(words, "Zebra", 1);
    }
    const std::vector<std::string> files{"a.htm", "html\\b.htm", "c.htm"};
    TWordList words;
};

std::string RunBuild(const TempFolder& folder, TFileSystem& system, bool index,
                     ParseOptions mapOptions) {
    Project project;
    TdlgBuildNdx_InitData input;
    input.ProjectFile = folder.File("Help.hhp");
    input.IndexFile = " Index.hhk";
    input.Words = &project.words;
    input.Files = &project.files;
    input.BuildIndex = index;
    input.BuildMap = mapOptions != 0;
    input.FileSystem = &system;
    input.MapSettings = [mapOptions] {
        TMapSettings settings;
        settings.Options = mapOptions;
        settings.AliasFile = " Alias.h";
        settings.MapFile = " Map.h";
        settings.MaxNameLength = 10;
        return settings;
    };
    struct : TBuildProgress {
        // The cases read what went wrong from the result.
        void ReportError(std::string_view /*text*/) override {}
    } progress;
    const TBuildResult result = TBuildRun(input, progress).Run();
    if (index) {
        if (result.ResultCaption == kBuildAbortedCaption) {
            EXPECT_EQ(result.Message.rfind(kIndexProblemPrefix, 0), 0u) << result.Message;
            EXPECT_EQ(result.Index, IndexEnd::Failed);
            return result.Message;
        }
        EXPECT_EQ(result.ResultCaption, kBuildOkCaption);
        EXPECT_EQ(result.Message.rfind(kIndexCreatedMessage, 0), 0u) << result.Message;
        EXPECT_TRUE(result.Errors.empty());
        return {};
    }
    // A map file that fails is shown in place of the success phrases.
    EXPECT_EQ(result.ResultCaption, kBuildOkCaption);
    if (!result.Errors.empty()) {
        EXPECT_EQ(result.Message.find(kMapPhrase), std::string::npos) << result.Message;
        return result.Message;
    }
    EXPECT_NE(result.Message.find(kMapPhrase), std::string::npos) << result.Message;
    return {};
}

// The export dialog and the list save show the file layer's error text.
std::string Failure(const std::function<void()>& write) {
    try {
        write();
    } catch (const EFileError& e) {
        return e.what();
    }
    return {};
}

const std::vector<Writer>& Writers() {
    static const std::vector<Writer> writers = {
        {"Index", "Index.hhk",
         [](const TempFolder& folder, TFileSystem& system) {
             return RunBuild(folder, system, true, 0);
         },
         true, ""},
        {"AliasFile", "Alias.h",
         [](const TempFolder& folder, TFileSystem& system) {
             return RunBuild(folder, system, false, kMapAliasFiles);
         },
         true, ""},
        {"ContextIdHeader", "Map.h",
         [](const TempFolder& folder, TFileSystem& system) {
             return RunBuild(folder, system, false, kMapAliasFiles);
         },
         true, "Alias.h"},
        {"TopicHeader", "Map.h",
         [](const TempFolder& folder, TFileSystem& system) {
             return RunBuild(folder, system, false, kMapTopicHeader);
         },
         true, ""},
        {"WordListExport", "index.txt",
         [](const TempFolder& folder, TFileSystem& system) {
             return Failure([&] {
                 ExportWordList(folder.File("index.txt"), {"Ampersand", "Help", "Zebra"}, system);
             });
         },
         false, ""},
        {"ExcludeListSave", "List.txt",
         [](const TempFolder& folder, TFileSystem& system) {
             return Failure([&] {
                 TExcludeList list;
                 list.AddWord("the");
                 list.AddWord("and");
                 list.FileName = folder.File("List.txt");
                 list.Save(system);
             });
         },
         false, ""},
    };
    return writers;
}

class WriteFailureTest : public ::testing::TestWithParam<Writer> {
protected:
    // Everything the writer writes, when nothing fails: the bytes of every file in the folder.
    std::size_t CleanRunSize() {
        TempFolder clean;
        EXPECT_EQ(GetParam().Run(clean, TFileSystem::Default()), "");
        std::size_t size = 0;
        for (const auto& entry : std::filesystem::directory_iterator(clean.Path())) {
            size += std::filesystem::file_size(entry.path());
        }
        cleanFile_ = Slurp(clean.File(GetParam().File));
        before_ = GetParam().After.empty() ? 0 : Slurp(clean.File(GetParam().After)).size();
        return size;
    }

    // Runs the writer over an old file with `system`; the run must fail with `reason` and leave
    // the old file as it was, with no temporary file or backup beside it.
    void ExpectOldFileKept(TFileSystem& system, std::string_view reason) {
        TempFolder folder;
        const std::string old = folder.Write(GetParam().File, "the author's own bytes\r\n");
        const std::string failure = GetParam().Run(folder, system);
        EXPECT_NE(failure.find(reason), std::string::npos) << failure;
        EXPECT_EQ(Slurp(old), "the author's own bytes\r\n");
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == GetParam().File || name == GetParam().After) << name;
        }
    }

    std::string cleanFile_;
    std::size_t before_ = 0;
};

TEST_P(WriteFailureTest, AWriteThatStopsAfterAnyByteLeavesTheOldFile) {
    const std::size_t size = CleanRunSize();
    const std::size_t own = cleanFile_.size();
    ASSERT_GT(own, 2u);
    for (const std::size_t into : {std::size_t{0}, std::size_t{1}, own / 3, own / 2, own - 1}) {
        const std::size_t budget = before_ + into;
        SCOPED_TRACE("failing after " + std::to_string(budget) + " of " + std::to_string(size));
        TFaultyFileSystem full;
        full.FailAfterBytes = static_cast<long long>(budget);
        ExpectOldFileKept(full, kNoSpace);
    }
    // Exactly enough room: success, and the same file as without any limit.
    TempFolder folder;
    TFaultyFileSystem full;
    full.FailAfterBytes = static_cast<long long>(size);
    EXPECT_EQ(GetParam().Run(folder, full), "");
    EXPECT_EQ(Slurp(folder.File(GetParam().File)), cleanFile_);
}

// The bytes are all written, but the disk does not confirm them or the new file cannot take the
// old one's name: the old file stays.
TEST_P(WriteFailureTest, AFailedSyncOrRenameLeavesTheOldFile) {
    TFaultyFileSystem unsynced;
    unsynced.SyncError = EIO;
    ExpectOldFileKept(unsynced, "Input/output error");
    TFaultyFileSystem unrenamed;
    unrenamed.RenameError = EBUSY;
    ExpectOldFileKept(unrenamed, "busy");
}

// A symbolic link the project names as an output is refused (it could lead anywhere); one the user
// chose is written where it leads, the link staying a link. A device is written as a stream, so a
// full one is a failure.
TEST_P(WriteFailureTest, SymbolicLinksAndDevices) {
    TempFolder folder;
    const std::string elsewhere = folder.Write("elsewhere.txt", "kept\r\n");
    const std::string link = folder.File(GetParam().File);
    ASSERT_EQ(::symlink(elsewhere.c_str(), link.c_str()), 0);
    const std::string failure = GetParam().Run(folder, TFileSystem::Default());
    if (GetParam().FromProject) {
        EXPECT_NE(failure.find("was not written: it is a symbolic link"), std::string::npos)
            << failure;
        EXPECT_EQ(Slurp(elsewhere), "kept\r\n");
    } else {
        EXPECT_EQ(failure, "");
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_NE(Slurp(elsewhere), "kept\r\n");
        ::unlink(link.c_str());
        ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
        const std::string full = GetParam().Run(folder, TFileSystem::Default());
        EXPECT_NE(full.find(kNoSpace), std::string::npos) << full;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, WriteFailureTest, ::testing::ValuesIn(Writers()),
                         [](const auto& info) { return info.param.Name; });

}  // namespace
}  // namespace tarnwick
