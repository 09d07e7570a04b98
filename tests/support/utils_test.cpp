#include <gtest/gtest.h>

#include <filesystem>

#include "common/temp_folder.h"
#include "support/utils.h"

namespace tarnwick {
namespace {

using testing::TempFolder;

TEST(GroupDigitsTest, ThousandsAfterSignAndBeforePoint) {
    const std::pair<const char*, const char*> cases[] = {
        {"12", "12"},
        {"123", "123"},
        {"1000", "1,000"},
        {"-100", "-100"},
        {"-1234", "-1,234"},
        {"1234567", "1,234,567"},
        {"1234.5", "1,234.5"},
        {"123456.78", "123,456.78"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(GroupDigits(in), out) << in;
    }
}

TEST(SplitPathTest, FileAndFolder) {
    TempFolder temp;
    const std::string file = temp.Write("Data/Tarnwick.cfg", "x");
    PathInfo info = SplitPath(file);
    EXPECT_EQ(info.Drive, "");
    EXPECT_EQ(info.Dir, temp.File("Data"));
    EXPECT_EQ(info.Name, "Tarnwick");
    EXPECT_EQ(info.Ext, ".cfg");
    EXPECT_EQ(info.NameExt, "Tarnwick.cfg");
    EXPECT_EQ(info.Folder, info.Dir);
    EXPECT_TRUE(info.Exists);
    EXPECT_FALSE(info.IsFolder);

    info = SplitPath(temp.File("Data"));
    EXPECT_TRUE(info.IsFolder);
    EXPECT_EQ(info.FullPath, temp.File("Data") + "/");
    EXPECT_EQ(info.Length, info.FullPath.size());
    EXPECT_EQ(info.Dir, temp.File("Data"));
    EXPECT_EQ(info.Name, "");

    info = SplitPath("/");
    EXPECT_TRUE(info.IsFolder);
    EXPECT_EQ(info.Dir, "");
    EXPECT_FALSE(SplitPath(temp.File("missing.txt")).Exists);
}

TEST(FolderTest, ExistsAndDriveRoot) {
    TempFolder temp;
    const std::string file = temp.Write("f.txt", "x");
    EXPECT_TRUE(FolderExists(temp.Folder()));  // with the trailing "/"
    EXPECT_TRUE(FolderExists(temp.Path().string()));
    EXPECT_TRUE(FolderExists(" " + temp.Folder() + "\t"));
    EXPECT_FALSE(FolderExists(file));
    EXPECT_FALSE(FolderExists(""));
    EXPECT_TRUE(IsDriveRoot("/"));
    EXPECT_FALSE(IsDriveRoot("/data"));
    EXPECT_FALSE(IsDriveRoot(""));
}

TEST(FolderTest, ForceFolderCreatesNestedFolders) {
    TempFolder temp;
    const std::string deep = temp.File("one/two/three");
    EXPECT_EQ(ForceFolder(deep), "");
    EXPECT_TRUE(FolderExists(deep));
    EXPECT_EQ(ForceFolder(deep + "/"), "");  // already there, trailing "/" is fine
}

TEST(FolderTest, ForceFolderReportsWhatItCannotCreate) {
    TempFolder temp;
    const std::string file = temp.Write("plain-file", "x");
    // One failure, one text: the folder inside the one that failed is not tried.
    EXPECT_EQ(ForceFolder(file + "/sub/deeper"), SystemErrorText(ENOTDIR));
}

TEST(DataFolderTest, FollowsXdgThenHome) {
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const std::string savedHome = oldHome ? oldHome : "";

    setenv("XDG_DATA_HOME", "/xdg/data", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(AppDataFolder("Tarnwick"), "/xdg/data/Tarnwick");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(AppDataFolder("Tarnwick"), "/home/someone/.local/share/Tarnwick");
    unsetenv("HOME");
    EXPECT_EQ(AppDataFolder("Tarnwick"), "");
    EXPECT_EQ(ShellFolder("Personal"), "");

    if (oldXdg)
        setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    if (oldHome)
        setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace tarnwick
