// Which compiled help file a project's "Compiled file" option leads to.
#include "app/compiled_help.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "platform/file_system.h"

namespace tarnwick {
namespace {

using testing::TempFolder;

TEST(CompiledHelpFileTest, OptionLeadsToTheFileAsSpelledOnDiskOrTheOneCompiledLast) {
    struct Case {
        const char* Option;              // the lines under [OPTIONS]
        std::vector<const char*> Files;  // under the test folder, oldest first
        const char* Expected;            // relative to the project's folder
    };
    const Case cases[] = {
        {"Compiled file=Help.chm", {"p/Help.chm"}, "Help.chm"},
        {"Compiled file=out\\HELP.CHM", {"p/Out/help.chm"}, "Out/help.chm"},
        {"Title=Help", {}, "Manual.chm"},
        // Read as a compile reads it: the last such line, blanks and letter case as they come;
        // an empty value, a comment or a value naming no file leave the project's own name.
        {"  compiled FILE = Help.chm", {}, "Help.chm"},
        {"Compiled file=Old.chm\r\nCompiled file=New.chm", {}, "New.chm"},
        {"Compiled file=\r\nTitle=Help", {}, "Manual.chm"},
        {";Compiled file=Help.chm", {}, "Manual.chm"},
        {"Compiled file=out\\", {"p/out/x.htm"}, "Manual.chm"},
        {"Compiled file=C:\\Build\\Help.chm", {}, "Help.chm"},
        {"Compiled file=..\\Release\\Help.chm", {}, "Help.chm"},  // neither there yet
        // A compile on Linux put a newer file beside the project; a Windows build, the other.
        {"Compiled file=..\\Release\\Help.chm", {"Release/Help.chm", "p/Help.chm"}, "Help.chm"},
        {"Compiled file=..\\Release\\Help.chm",
         {"p/Help.chm", "Release/Help.chm"},
         "../Release/Help.chm"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Option);
        const TempFolder root;
        const std::string hhp =
            root.Write("p/Manual.hhp", std::string("[OPTIONS]\r\n") + test.Option + "\r\n");
        auto time = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
        for (const char* file : test.Files) {
            std::filesystem::last_write_time(root.Write(file, "x"),
                                             time += std::chrono::minutes(1));
        }
        EXPECT_EQ(std::filesystem::path(CompiledHelpFile(hhp)).lexically_normal(),
                  (root.Path() / "p" / test.Expected).lexically_normal());
    }
    EXPECT_THROW(CompiledHelpFile(TempFolder().File("None.hhp")), EFOpenError);
}

}  // namespace
}  // namespace tarnwick
