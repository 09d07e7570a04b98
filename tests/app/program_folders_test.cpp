#include "app/program_folders.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/scoped_data_home.h"
#include "common/temp_folder.h"
#include "platform/os.h"
#include "platform/system_text.h"

namespace tarnwick {
namespace {

using testing::ScopedEnv;
using testing::Slurp;
using testing::TempFolder;

TEST(ProgramFolderTest, BuildFolderOrInstalledShareFolder) {
    TempFolder temp;
    temp.Write("build/bin/Default_Exclude_List.txt", "a\r\n");
    EXPECT_EQ(LocateProgramFolder(temp.File("build/bin")), temp.File("build/bin") + "/");
    EXPECT_EQ(LocateProgramFolder(temp.File("usr/bin") + "/"),
              temp.File("usr/share/tarnwick") + "/");
    // The tests run from the build's output folder, next to the installed list.
    EXPECT_EQ(LocateProgramFolder(ExecutableFolder()), std::string(TARNWICK_OUTPUT_DIR) + "/");
}

TEST(ProgramFolderTest, SetAndLocatedAgain) {
    SetProgramFolder("/opt/tarnwick");
    EXPECT_EQ(ProgramFolder(), "/opt/tarnwick/");
    SetProgramFolder("");
    EXPECT_EQ(ProgramFolder(), LocateProgramFolder(ExecutableFolder()));
}

// A data home with an installed default list in a program folder of its own.
class DataFoldersTest : public ::testing::Test {
protected:
    DataFoldersTest() : env_("XDG_DATA_HOME", home_.Path().c_str()) {
        program_.Write("Default_Exclude_List.txt", "a\r\nthe\r\n");
        SetProgramFolder(program_.Folder());
    }
    ~DataFoldersTest() override {
        ScopedEnv noDataHome("XDG_DATA_HOME", nullptr);
        ScopedEnv noHome("HOME", nullptr);
        SetProgramFolder("");
        PrepareDataFolders();
    }

    std::string InstalledCopy() const {
        return home_.File("Tarnwick/Exclude_List/Default_Exclude_List.txt");
    }

    TempFolder home_;
    TempFolder program_;
    ScopedEnv env_;
};

TEST_F(DataFoldersTest, FirstStartCreatesTheFoldersAndCopiesTheDefaultList) {
    EXPECT_TRUE(PrepareDataFolders().empty());
    EXPECT_EQ(DataFolder(), home_.File("Tarnwick") + "/");
    EXPECT_EQ(ExcludeListFolder(), home_.File("Tarnwick/Exclude_List") + "/");
    EXPECT_EQ(Slurp(InstalledCopy()), "a\r\nthe\r\n");
    for (const auto& entry : std::filesystem::directory_iterator(ExcludeListFolder())) {
        EXPECT_EQ(entry.path().filename(), DefaultExcludeListName);  // no temporary left
    }
}

TEST_F(DataFoldersTest, TheListIsCopiedOnlyWhenItsFolderIsCreated) {
    PrepareDataFolders();
    std::filesystem::remove(InstalledCopy());  // the user deleted the default list
    PrepareDataFolders();
    EXPECT_FALSE(std::filesystem::exists(InstalledCopy()));

    std::filesystem::remove_all(home_.File("Tarnwick"));
    std::filesystem::remove(program_.File("Default_Exclude_List.txt"));
    // Nothing installed: the folders still come, silently.
    EXPECT_TRUE(PrepareDataFolders().empty());
    EXPECT_TRUE(std::filesystem::is_directory(ExcludeListFolder()));
    EXPECT_FALSE(std::filesystem::exists(InstalledCopy()));
}

// Both front ends parse with the same default list: the user's own while anything stands at its
// name, the installed one once the user has deleted theirs.
TEST_F(DataFoldersTest, TheDefaultListIsTheUsersOwnElseTheInstalledOne) {
    PrepareDataFolders();
    EXPECT_EQ(DefaultExcludeListPath(), InstalledCopy());
    std::filesystem::remove(InstalledCopy());
    EXPECT_EQ(DefaultExcludeListPath(), program_.File("Default_Exclude_List.txt"));
    std::filesystem::create_directory(InstalledCopy());  // refused when read, not passed over
    EXPECT_EQ(DefaultExcludeListPath(), InstalledCopy());
}

TEST_F(DataFoldersTest, AStartRemovesOnlyTheTemporaryFilesThatNobodyWrites) {
    PrepareDataFolders();  // the first start creates the folders
    // What a configuration write stopped by a crash leaves ("KDF" and mkstemp's six letters or
    // digits), one that a running Tarnwick is writing right now (it holds the lock), and names
    // that only look like one.
    struct Entry {
        const char* name;
        bool removed;
    };
    const Entry files[] = {
        {"KDFa1B2c3", true},      {"KDF000000", true},   {"KDFlive01", false},
        {"KDF12345", false},      {"KDF1234567", false}, {"KDFab_cd1", false},
        {"kdfabcdef", false},     {"xKDFabcde", false},  {"Tarnwick.cfg", false},
        {"KDFa1B2c3.bak", false},
    };
    for (const Entry& file : files) {
        home_.Write(std::string("Tarnwick/") + file.name, "bytes");
    }
    const std::string elsewhere = home_.Write("KDFaway01", "not in the data folder");
    ASSERT_EQ(::symlink(elsewhere.c_str(), home_.File("Tarnwick/KDFlink01").c_str()), 0);
    ASSERT_EQ(::mkfifo(home_.File("Tarnwick/KDFpipe01").c_str(), 0600), 0);
    std::filesystem::create_directory(home_.File("Tarnwick/KDFfold01"));
    const std::string live = home_.File("Tarnwick/KDFlive01");
    const int writer = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);

    PrepareDataFolders();
    for (const Entry& file : files) {
        EXPECT_EQ(std::filesystem::exists(home_.File(std::string("Tarnwick/") + file.name)),
                  !file.removed)
            << file.name;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(home_.File("Tarnwick/KDFlink01")));
    EXPECT_TRUE(std::filesystem::exists(elsewhere));
    EXPECT_TRUE(std::filesystem::is_fifo(home_.File("Tarnwick/KDFpipe01")));
    EXPECT_TRUE(std::filesystem::is_directory(home_.File("Tarnwick/KDFfold01")));

    ::close(writer);  // the writer is gone without renaming its file: a crash
    EXPECT_TRUE(PrepareDataFolders().empty());
    EXPECT_FALSE(std::filesystem::exists(live));
}

TEST_F(DataFoldersTest, NoApplicationDataFolderLeavesTheFoldersEmpty) {
    ScopedEnv noDataHome("XDG_DATA_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    EXPECT_TRUE(PrepareDataFolders().empty());
    EXPECT_EQ(DataFolder(), "");
    EXPECT_EQ(ExcludeListFolder(), "");
}

TEST_F(DataFoldersTest, AFolderThatCannotBeCreatedIsReported) {
    const std::string blocker = home_.Write("file", "not a folder");
    ScopedEnv dataHome("XDG_DATA_HOME", blocker.c_str());
    const std::vector<std::string> failures = PrepareDataFolders();
    EXPECT_EQ(DataFolder(), blocker + "/Tarnwick/");
    // One failure, one message: the list's folder inside it fails for the same reason.
    EXPECT_EQ(failures, std::vector<std::string>{SystemErrorText(ENOTDIR)});
}

}  // namespace
}  // namespace tarnwick
