#include "store/config.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "app/program_folders.h"
#include "app/scoped_data_home.h"
#include "common/faulty_file_system.h"
#include "common/scripted_mesg.h"
#include "store/mru_item.h"

namespace tarnwick {
namespace {

using testing::TFaultyFileSystem;

using testing::ScopedDataHome;
using testing::ScopedEnv;
using testing::ScriptedMesg;
using testing::Slurp;

class ConfigTest : public ::testing::Test {
protected:
    std::string ConfigFile() const { return home_.Home().File("Tarnwick/Tarnwick.cfg"); }

    ScopedDataHome home_;
    ScriptedMesg mesg_;
};

TEST_F(ConfigTest, FirstUseCreatesAnEmptyTarnwickFile) {
    EXPECT_EQ(CConfig::FilePath(DataFolder()), ConfigFile());
    {
        CConfig config(DataFolder(), mesg_);
        EXPECT_TRUE(config.IsOpen());
        EXPECT_EQ(config.ReadInteger(kCfgMainColumns, kDefaultColumns), 1);
        EXPECT_EQ(config.TextBufferSize(), 8);
    }
    EXPECT_EQ(std::filesystem::file_size(ConfigFile()), 12644u);
    std::string owner;
    ASSERT_TRUE(CKdf::ReadApplicationName(ConfigFile(), owner));
    EXPECT_EQ(owner, "Tarnwick");
    EXPECT_TRUE(mesg_.shown.empty());
}

TEST_F(ConfigTest, ValuesLastFromOneBurstToTheNext) {
    {
        CConfig config(DataFolder(), mesg_);
        config.WriteInteger(kCfgMainColumns, 4);
        config.PutPlacement(kCfgMainPlacement, 10, 20, 700, 800);
        config.PutText(kCfgEditorListName, "Mine.txt");
    }
    CConfig config(DataFolder(), mesg_);
    EXPECT_EQ(config.ReadInteger(kCfgMainColumns, kDefaultColumns), 4);
    t_Placement placement = CenteredPlacement(500, 600, 1920, 1080);
    EXPECT_TRUE(config.GetPlacement(kCfgMainPlacement, placement, 1920, 1080));
    EXPECT_EQ(placement.Left, 10);
    EXPECT_EQ(placement.Top, 20);
    EXPECT_EQ(placement.Width, 700);
    EXPECT_EQ(placement.Height, 800);
    EXPECT_EQ(config.GetText(kCfgEditorListName, ""), "Mine.txt");
}

TEST_F(ConfigTest, AFileWhoseHeaderDoesNotNameTarnwickIsSetAsideNotDeleted) {
    // The application-name field as another program, a flipped bit or a wiped header leaves it.
    // The file may hold the user's recent projects: it is kept under another name, reported
    // once, and a new configuration is used.
    struct Case {
        const char* name;
        std::string field;
    };
    const Case cases[] = {
        {"another program", std::string("SomeoneElse") + std::string(21, '\0')},
        {"a flipped bit", std::string("Tarnwicj") + std::string(24, '\0')},
        {"all zeros", std::string(32, '\0')},
        {"all 0xFF", std::string(32, '\xFF')},
        {"a new container's name on a file with records",
         std::string("KDF_FILE 2.0") + std::string(20, '\0')},
    };
    const std::string project = home_.Home().Write("p.hhp", "[FILES]\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(ConfigFile());
        std::filesystem::remove(ConfigFile() + ".damaged");
        mesg_.shown.clear();
        {
            CConfig config(DataFolder(), mesg_);
            config.WriteInteger(kCfgMainColumns, 7);
            TMruItem item;
            item.ProjectFile = project;
            config.PutMruRecord(item, kCfgFirstMru);
        }
        std::string bytes = Slurp(ConfigFile());
        bytes.replace(44, 32, c.field);
        home_.Home().Write("Tarnwick/Tarnwick.cfg", bytes);
        for (int start = 0; start < 2; ++start) {
            CConfig config(DataFolder(), mesg_);
            EXPECT_TRUE(config.IsOpen());
            EXPECT_EQ(config.ReadInteger(kCfgMainColumns, kDefaultColumns), kDefaultColumns);
            EXPECT_EQ(config.Header().Count, 0);
        }
        ASSERT_EQ(mesg_.shown.size(), 1u);
        EXPECT_EQ(mesg_.shown[0].style, static_cast<unsigned>(kMbError));
        EXPECT_EQ(mesg_.shown[0].text.rfind(
                      ConfigFile() + "\r\nThis is not a configuration file of Tarnwick", 0),
                  0u)
            << mesg_.shown[0].text;
        EXPECT_NE(mesg_.shown[0].text.find("\"" + ConfigFile() + ".damaged\""), std::string::npos);
        EXPECT_EQ(Slurp(ConfigFile() + ".damaged"), bytes);
        std::string owner;
        ASSERT_TRUE(CKdf::ReadApplicationName(ConfigFile(), owner));
        EXPECT_EQ(owner, "Tarnwick");
    }
    mesg_.shown.clear();

    {
        CKdf same;  // the owner's name in other letter case is still Tarnwick's file
        ASSERT_TRUE(same.Open(ConfigFile(), 1, kKdfOpenAlways, CConfig::OpenFlags));
        same.SetApplicationName("TARNWICK");
        same.WriteInteger(kCfgMainColumns, 3);
    }
    {
        CConfig config(DataFolder(), mesg_);
        EXPECT_EQ(config.ReadInteger(kCfgMainColumns, kDefaultColumns), 3);
    }
    // A start that stopped right after creating its configuration left a container without
    // records and without Tarnwick's name: there is nothing to keep, and it is simply used.
    std::filesystem::remove(ConfigFile());
    std::filesystem::remove(ConfigFile() + ".damaged");
    {
        CKdf unfinished;
        ASSERT_TRUE(unfinished.Open(ConfigFile(), 1, kKdfOpenAlways, CConfig::OpenFlags));
    }
    {
        CConfig config(DataFolder(), mesg_);
        EXPECT_TRUE(config.IsOpen());
    }
    std::string owner;
    ASSERT_TRUE(CKdf::ReadApplicationName(ConfigFile(), owner));
    EXPECT_EQ(owner, "Tarnwick");
    EXPECT_TRUE(mesg_.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(ConfigFile() + ".damaged"));
}

TEST_F(ConfigTest, AConfigurationThatIsNoFileIsRefusedAndLeftAsItIs) {
    // Neither waited on (a pipe) nor read without end (/dev/zero), nor renamed or deleted: the
    // program goes on with its defaults. Should a case hang, the alarm ends the run instead.
    ::alarm(20);
    struct Case {
        const char* name;
        void (*make)(const std::string& path);
        const char* description;
    };
    const Case cases[] = {
        {"pipe", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
         "Is a named pipe, not a regular file"},
        {"link to /dev/zero",
         [](const std::string& path) { ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0); },
         "Is a device, not a regular file"},
        {"folder", [](const std::string& path) { std::filesystem::create_directory(path); },
         "Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mesg_.shown.clear();
        c.make(ConfigFile());
        const auto type = std::filesystem::symlink_status(ConfigFile()).type();
        {
            CConfig config(DataFolder(), mesg_);
            EXPECT_FALSE(config.IsOpen());
            EXPECT_EQ(config.ReadInteger(kCfgMainColumns, kDefaultColumns), kDefaultColumns);
            config.PutPlacement(kCfgMainPlacement, 1, 2, 3, 4);
        }
        ASSERT_EQ(mesg_.shown.size(), 1u);
        EXPECT_EQ(mesg_.shown[0].text, ConfigFile() + "\r\n" + c.description);
        EXPECT_EQ(std::filesystem::symlink_status(ConfigFile()).type(), type);
        EXPECT_FALSE(std::filesystem::exists(ConfigFile() + ".damaged"));
        std::filesystem::remove(ConfigFile());
    }
    ::alarm(0);
}

TEST_F(ConfigTest, AConfigurationLargerThanTheLimitIsSetAside) {
    {
        CConfig config(DataFolder(), mesg_);
        config.WriteInteger(kCfgMainColumns, 4);
    }
    // The added length is a hole: nothing is written to the disk.
    std::filesystem::resize_file(ConfigFile(), static_cast<std::uintmax_t>(CKdf::MaxFileSize) + 1);
    struct stat before {};
    ASSERT_EQ(::stat(ConfigFile().c_str(), &before), 0);
    {
        CConfig config(DataFolder(), mesg_);
        EXPECT_TRUE(config.IsOpen());
        EXPECT_EQ(config.ReadInteger(kCfgMainColumns, kDefaultColumns), kDefaultColumns);
    }
    ASSERT_EQ(mesg_.shown.size(), 1u);
    EXPECT_NE(mesg_.shown[0].text.find("more than the 64 MiB"), std::string::npos)
        << mesg_.shown[0].text;
    struct stat aside {};
    ASSERT_EQ(::stat((ConfigFile() + ".damaged").c_str(), &aside), 0);
    EXPECT_EQ(aside.st_ino, before.st_ino);  // the very file, untouched
    EXPECT_EQ(aside.st_size, before.st_size);
}

TEST_F(ConfigTest, AReadOnlyFileIsMadeWritable) {
    { CConfig config(DataFolder(), mesg_); }
    ASSERT_EQ(::chmod(ConfigFile().c_str(), 0444), 0);
    {
        CConfig config(DataFolder(), mesg_);
        EXPECT_TRUE(config.IsOpen());
    }
    struct stat st {};
    ASSERT_EQ(::stat(ConfigFile().c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
}

TEST_F(ConfigTest, PlacementsStayOnTheScreen) {
    struct Case {
        int left, top, wantLeft, wantTop;
    };
    const Case cases[] = {
        {-300, -5, 0, 0},
        {1900, 1070, 1870, 1030},
        {100, 200, 100, 200},
        {1870, 1030, 1870, 1030},
    };
    for (const Case& c : cases) {
        {
            CConfig config(DataFolder(), mesg_);
            config.PutPlacement(kCfgEditorPlacement, c.left, c.top, 500, 500);
        }
        CConfig config(DataFolder(), mesg_);
        t_Placement placement;
        EXPECT_TRUE(config.GetPlacement(kCfgEditorPlacement, placement, 1920, 1080));
        EXPECT_EQ(placement.Left, c.wantLeft) << c.left;
        EXPECT_EQ(placement.Top, c.wantTop) << c.top;
    }
    CConfig config(DataFolder(), mesg_);
    t_Placement defaults{5000, -10, 500, 500};  // clamped even when nothing is stored
    EXPECT_FALSE(config.GetPlacement(kCfgAliasMapPlacement, defaults, 1024, 768));
    EXPECT_EQ(defaults.Left, 974);
    EXPECT_EQ(defaults.Top, 0);
    t_Placement tiny{10, 10, 1, 1};
    config.GetPlacement(kCfgAliasMapPlacement, tiny, 20, 20);  // a screen below the margin
    EXPECT_EQ(tiny.Left, 0);
}

TEST_F(ConfigTest, TextsAndTheirDefaults) {
    CConfig config(DataFolder(), mesg_);
    EXPECT_EQ(config.GetText(kCfgEditorListName, "default"), "default");
    config.PutText(kCfgEditorListName, "Secondary.txt");
    EXPECT_EQ(config.GetText(kCfgEditorListName, "default"), "Secondary.txt");
    config.PutText(kCfgEditorListName, "");  // deletes the key
    EXPECT_EQ(config.GetText(kCfgEditorListName, "default"), "default");
    // The text buffer follows the longest record, also one written in this burst.
    const std::string longText(300, 'x');
    config.PutText(kCfgEditorListName, longText);
    EXPECT_EQ(config.TextBufferSize(), 304);
    EXPECT_EQ(config.GetText(kCfgEditorListName, ""), longText);
    EXPECT_TRUE(mesg_.shown.empty());
}

TEST_F(ConfigTest, MruRecordsOfMissingProjectsAreStoredWithoutAPath) {
    CConfig config(DataFolder(), mesg_);
    TMruItem item;
    item.ProjectFile = home_.Home().File("gone.hhp");
    item.WindowName = "w";
    config.PutMruRecord(item, kCfgFirstMru);
    EXPECT_EQ(item.ProjectFile, home_.Home().File("gone.hhp"));  // the caller's copy stays
    TMruItem back;
    EXPECT_TRUE(config.GetMruRecord(back, kCfgFirstMru));
    EXPECT_EQ(back.ProjectFile, "");
    EXPECT_EQ(back.WindowName, "w");
    EXPECT_FALSE(config.GetMruRecord(back, kCfgFirstMru + 1));
    EXPECT_EQ(back.WindowName, "");
}

TEST_F(ConfigTest, ADamagedFileIsReportedOnceAndSetAside) {
    { CConfig config(DataFolder(), mesg_); }
    std::string bytes = Slurp(ConfigFile());
    bytes[88] = '\x01';
    bytes[89] = '\x10';  // a count far above the capacity
    home_.Home().Write("Tarnwick/Tarnwick.cfg", bytes);
    {
        CConfig config(DataFolder(), mesg_);
        EXPECT_TRUE(config.IsOpen());
        EXPECT_EQ(config.ReadInteger(kCfgMainColumns, 2), 2);
        config.WriteInteger(kCfgMainColumns, 9);
    }
    ASSERT_EQ(mesg_.shown.size(), 1u);
    EXPECT_EQ(mesg_.shown[0].style, static_cast<unsigned>(kMbError));
    EXPECT_EQ(mesg_.shown[0].caption, "Tarnwick");
    EXPECT_EQ(mesg_.shown[0].text.rfind(ConfigFile() + "\r\nThe data file is damaged: ", 0), 0u);
    EXPECT_NE(mesg_.shown[0].text.find("\"" + ConfigFile() + ".damaged\""), std::string::npos);
    // The user's file is kept as it was, and the new one is used from then on.
    EXPECT_EQ(Slurp(ConfigFile() + ".damaged"), bytes);
    {
        CConfig config(DataFolder(), mesg_);
        EXPECT_EQ(config.ReadInteger(kCfgMainColumns, 2), 9);
    }
    EXPECT_EQ(mesg_.shown.size(), 1u);

    // A second damaged file does not replace the first one set aside.
    home_.Home().Write("Tarnwick/Tarnwick.cfg", bytes.substr(0, 100));  // cut inside the header
    { CConfig config(DataFolder(), mesg_); }
    ASSERT_EQ(mesg_.shown.size(), 2u);
    EXPECT_EQ(Slurp(ConfigFile() + ".damaged"), bytes);
    EXPECT_EQ(Slurp(ConfigFile() + ".damaged-2"), bytes.substr(0, 100));
}

TEST_F(ConfigTest, AFailedWriteBackIsReported) {
    {
        TFaultyFileSystem faulty;
        CConfig config(DataFolder(), mesg_, faulty);
        config.WriteInteger(kCfgMainColumns, 3);
        faulty.FailAfterBytes = 0;
    }
    ASSERT_EQ(mesg_.shown.size(), 1u);
    EXPECT_NE(mesg_.shown[0].text.find("No space left on device"), std::string::npos);
}

TEST_F(ConfigTest, WithoutADataFolderNothingIsOpenedOrShown) {
    ScopedEnv noDataHome("XDG_DATA_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    PrepareDataFolders();
    EXPECT_EQ(CConfig::FilePath(DataFolder()), "");
    CConfig config(DataFolder(), mesg_);
    EXPECT_FALSE(config.IsOpen());
    config.PutPlacement(kCfgMainPlacement, 1, 2, 3, 4);
    t_Placement placement{1, 2, 500, 600};
    EXPECT_FALSE(config.GetPlacement(kCfgMainPlacement, placement, 800, 600));
    EXPECT_EQ(placement.Width, 500);
    EXPECT_TRUE(mesg_.shown.empty());
}

// A stored placement is what the file holds, however it got there: the window restored from it
// is never larger than the screen's available area, never smaller than its minimum, and lies
// within the area.
TEST(FitPlacementTest, StoredPlacementsFitTheAvailableArea) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const t_Placement fullHd{0, 0, 1920, 1080};
    struct Case {
        const char* what;
        t_Placement stored;
        t_Placement area;
        int minWidth, minHeight;
        t_Placement want;
    };
    const Case cases[] = {
        {"fits as it is", {100, 200, 700, 640}, fullHd, 485, 353, {100, 200, 700, 640}},
        {"huge", {0, 0, 100000, 100000}, fullHd, 485, 353, {0, 0, 1920, 1080}},
        {"huge and far out", {50000, -50000, 100000, 100000}, fullHd, 485, 353, {0, 0, 1920, 1080}},
        {"past the right and bottom",
         {1800, 1000, 500, 600},
         fullHd,
         485,
         353,
         {1420, 480, 500, 600}},
        {"before the left and top", {-300, -20, 500, 600}, fullHd, 485, 353, {0, 0, 500, 600}},
        {"below the minimum", {100, 100, 10, -5}, fullHd, 485, 353, {100, 100, 485, 353}},
        {"nothing at all",
         {0, 0, 0, 0},
         fullHd,
         0,
         0,
         {0, 0, kSmallestWindowSide, kSmallestWindowSide}},
        {"area beside a panel",
         {0, 0, 3000, 500},
         {64, 32, 1856, 1048},
         485,
         353,
         {64, 32, 1856, 500}},
        {"minimum larger than the area",
         {50, 50, 600, 400},
         {0, 0, 400, 300},
         485,
         353,
         {0, 0, 485, 353}},
        {"32-bit extremes", {kMin, kMax, kMax, kMin}, fullHd, 485, 353, {0, 727, 1920, 353}},
    };
    for (const Case& c : cases) {
        const t_Placement got = FitPlacement(c.stored, c.area, c.minWidth, c.minHeight);
        EXPECT_EQ(got.Left, c.want.Left) << c.what;
        EXPECT_EQ(got.Top, c.want.Top) << c.what;
        EXPECT_EQ(got.Width, c.want.Width) << c.what;
        EXPECT_EQ(got.Height, c.want.Height) << c.what;
    }
}

}  // namespace
}  // namespace tarnwick
