// Every file Tarnwick writes, on a full disk (/dev/full) and with a write that fails after any
// number of bytes: the failure reaches the user as a failure with the system's text, never as
// success over a truncated file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "output/build_run.h"
#include "output/word_list_export.h"
#include "pipeline/exclude_list.h"
#include "support/file_stream.h"

namespace tarnwick {
namespace {

using testing::ScriptedMesg;
using testing::Slurp;
using testing::TempFolder;

constexpr std::string_view kNoSpace = "No space left on device";

// One writer as the user starts it. Run returns the failure the user is shown (empty when the
// run reports success) and must then have reported success in the user's terms.
struct Writer {
    std::string Name;
    std::string File;  // the file it writes, in the folder of the project
    std::function<std::string(const TempFolder&)> Run;
};

void PrintTo(const Writer& writer, std::ostream* out) {
    *out << writer.Name;
}

// The word list and topics every build writes.
struct Project {
    Project() {
        words.MergeWord("Ampersand", 0);
        words.MergeWord("Help", 0);
        words.MergeWord("Help", 2);
        words.MergeWord("Zebra", 1);
    }
    const std::vector<std::string> files{"a.htm", "html\\b.htm", "c.htm"};
    TWordList words;
};

std::string RunBuild(const TempFolder& folder, bool index, ParseOptions mapOptions) {
    Project project;
    TdlgBuildNdx_InitData input;
    input.ProjectFile = folder.File("Help.hhp");
    input.IndexFile = " Index.hhk";
    input.Words = &project.words;
    input.Files = &project.files;
    input.BuildIndex = index;
    input.BuildMap = mapOptions != 0;
    input.MapSettings = [mapOptions] {
        TMapSettings settings;
        settings.Options = mapOptions;
        settings.AliasFile = " Alias.h";
        settings.MapFile = " Map.h";
        settings.MaxNameLength = 10;
        return settings;
    };
    TBuildProgress progress;
    const TBuildResult result = TBuildRun(input, progress).Run();
    if (index) {
        if (result.ResultCaption == kBuildAbortedCaption) {
            EXPECT_EQ(result.Message.rfind(kIndexProblemPrefix, 0), 0u) << result.Message;
            EXPECT_EQ(result.Index, IndexEnd::Failed);
            return result.Message;
        }
        EXPECT_EQ(result.ResultCaption, kBuildOkCaption);
        EXPECT_EQ(result.Message, kIndexCreatedMessage);
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
        {"Index", "Index.hhk", [](const TempFolder& folder) { return RunBuild(folder, true, 0); }},
        {"AliasFile", "Alias.h",
         [](const TempFolder& folder) { return RunBuild(folder, false, kMapAliasFiles); }},
        {"ContextIdHeader", "Map.h",
         [](const TempFolder& folder) { return RunBuild(folder, false, kMapAliasFiles); }},
        {"TopicHeader", "Map.h",
         [](const TempFolder& folder) { return RunBuild(folder, false, kMapTopicHeader); }},
        {"WordListExport", "index.txt",
         [](const TempFolder& folder) {
             return Failure([&] {
                 ExportWordList(folder.File("index.txt"), {"Ampersand", "Help", "Zebra"});
             });
         }},
        {"ExcludeListSave", "List.txt",
         [](const TempFolder& folder) {
             return Failure([&] {
                 TExcludeList list;
                 list.AddWord("the");
                 list.AddWord("and");
                 list.FileName = folder.File("List.txt");
                 list.Save();
             });
         }},
    };
    return writers;
}

class WriteFailureTest : public ::testing::TestWithParam<Writer> {
protected:
    void TearDown() override { TFileWriter::SetFaultAfterBytes(-1); }

    // Everything the writer writes, when nothing fails: the bytes of every file in the folder.
    std::size_t CleanRunSize() {
        TempFolder clean;
        EXPECT_EQ(GetParam().Run(clean), "");
        std::size_t size = 0;
        for (const auto& entry : std::filesystem::directory_iterator(clean.Path())) {
            size += std::filesystem::file_size(entry.path());
        }
        cleanFile_ = Slurp(clean.File(GetParam().File));
        return size;
    }

    ScriptedMesg mesg_;
    std::string cleanFile_;
};

TEST_P(WriteFailureTest, AFullDiskIsReportedWithTheSystemsText) {
    TempFolder folder;
    ASSERT_EQ(::symlink("/dev/full", folder.File(GetParam().File).c_str()), 0);
    const std::string failure = GetParam().Run(folder);
    EXPECT_NE(failure.find(kNoSpace), std::string::npos) << failure;
}

TEST_P(WriteFailureTest, AWriteThatStopsAfterAnyByteIsAFailure) {
    const std::size_t size = CleanRunSize();
    ASSERT_GT(size, 0u);
    for (const std::size_t budget :
         {std::size_t{0}, std::size_t{1}, size / 3, size / 2, size - 2, size - 1}) {
        SCOPED_TRACE("failing after " + std::to_string(budget) + " of " + std::to_string(size));
        TempFolder folder;
        TFileWriter::SetFaultAfterBytes(static_cast<long long>(budget));
        const std::string failure = GetParam().Run(folder);
        TFileWriter::SetFaultAfterBytes(-1);
        EXPECT_NE(failure.find(kNoSpace), std::string::npos) << failure;
    }
    // Exactly enough room: success, and the same file as without any limit.
    TempFolder folder;
    TFileWriter::SetFaultAfterBytes(static_cast<long long>(size));
    EXPECT_EQ(GetParam().Run(folder), "");
    TFileWriter::SetFaultAfterBytes(-1);
    EXPECT_EQ(Slurp(folder.File(GetParam().File)), cleanFile_);
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, WriteFailureTest, ::testing::ValuesIn(Writers()),
                         [](const auto& info) { return info.param.Name; });

}  // namespace
}  // namespace tarnwick
