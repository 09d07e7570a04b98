#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "platform/os.h"

#include <algorithm>

namespace tarnwick {
namespace {

using testing::TempFolder;

TEST(ResolvePathTest, WindowsProjectsNameFilesInOtherCase) {
    TempFolder temp;
    temp.Write("Html/Intro.htm", "a");
    temp.Write("Html/intro.HTM", "b");
    temp.Write("html2/page.htm", "c");
    const std::string base = temp.Folder();
    EXPECT_EQ(ResolvePathIgnoringCase(base + "Html/Intro.htm"), base + "Html/Intro.htm");
    // No exact match: the first match in byte order wins.
    EXPECT_EQ(ResolvePathIgnoringCase(base + "HTML/INTRO.htm"), base + "Html/Intro.htm");
    EXPECT_EQ(ResolvePathIgnoringCase(base + "HTML2/Page.HTM"), base + "html2/page.htm");
    EXPECT_EQ(ResolvePathIgnoringCase(base + "html2/missing.htm"), "");
    EXPECT_EQ(ResolvePathIgnoringCase(""), "");
}

TEST(ResolvePathTest, BackslashesBecomeSlashesOnlyToOpen) {
    EXPECT_EQ(ToOpenPath("html\\sub\\a.htm"), "html/sub/a.htm");
}

TEST(ListTextFilesTest, OnlyRegularFilesEndingInTxtAnyCase) {
    TempFolder temp;
    temp.Write("a.txt", "");
    temp.Write("B.TXT", "");
    temp.Write("c.txt.bak", "");
    temp.Write("txt", "");
    temp.Write("folder.txt/inner.txt", "");
    auto names = ListTextFiles(temp.Folder());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B.TXT", "a.txt"}));
    EXPECT_TRUE(ListTextFiles(temp.File("missing")).empty());
}

TEST(PermissionsTest, MakeOwnerWritable) {
    TempFolder temp;
    const std::string file = temp.Write("ro.txt", "x");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    EXPECT_TRUE(MakeOwnerWritable(file));
    EXPECT_NE(std::filesystem::status(file).permissions() & std::filesystem::perms::owner_write,
              std::filesystem::perms::none);
    EXPECT_FALSE(MakeOwnerWritable(temp.File("none")));
}

TEST(ExecutableTest, FolderOfTheRunningProgram) {
    EXPECT_EQ(ExecutableFolder().back(), '/');
    EXPECT_TRUE(FileExists(ExecutablePath()));
}

}  // namespace
TEST(ProcessorsTest, AtLeastOne) {
    EXPECT_GE(AvailableProcessors(), 1);
}

}  // namespace tarnwick
