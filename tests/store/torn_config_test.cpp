// A configuration write that stops part way (a crash, a kill, a full disk) must never cost more
// than the settings being written: the next start reads the file, or reports it once, keeps it
// aside and starts afresh - never a crash, a hang or a message at every start.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/scoped_data_home.h"
#include "common/faulty_file_system.h"
#include "common/scripted_mesg.h"
#include "store/config.h"
#include "store/kdf.h"
#include "store/mru_item.h"

namespace tarnwick {
namespace {

using testing::TFaultyFileSystem;

namespace fs = std::filesystem;
using testing::ScopedDataHome;
using testing::ScriptedMesg;

class TornConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.hhp", "b.hhp", "c.hhp"}) {
            home_.Home().Write(name, "[FILES]\r\n");
        }
    }

    std::string ConfigFile() const { return home_.Home().File("Tarnwick/Tarnwick.cfg"); }
    std::string Project(const char* name) const { return home_.Home().File(name); }

    // Starts over without any configuration file.
    void RemoveConfigurations() const {
        for (const auto& entry : fs::directory_iterator(home_.Home().File("Tarnwick"))) {
            if (entry.path().filename().string().rfind("Tarnwick.cfg", 0) == 0) {
                fs::remove(entry.path());
            }
        }
    }

    static void PutMru(CConfig& config, int key, const std::string& project) {
        TMruItem item;
        item.ProjectFile = project;
        item.Options = 0x38;
        config.PutMruRecord(item, key);
    }

    // A burst that completes: the settings a previous session left.
    void EarlierSession() const {
        CConfig config(DataFolder(), Mesg());
        ASSERT_TRUE(config.IsOpen());
        config.WriteInteger(kCfgMainColumns, 2);
        config.PutText(kCfgEditorListName, "Old list");
        config.PutPlacement(kCfgExportPlacement, 1, 2, 300, 4);
        PutMru(config, 100, Project("a.hhp"));
        PutMru(config, 101, Project("b.hhp"));
    }

    // A burst that replaces records in place (the integer and the first two recently used
    // records keep their lengths), inserts keys in front of others (which moves their index
    // entries), deletes one and appends records; its Close stops after `budget` bytes (never,
    // when negative). Returns whether the Close got through.
    bool TornSession(long long budget, bool inPlace) const {
        ScriptedMesg mesg;
        {
            TFaultyFileSystem faulty;
            CConfig config(DataFolder(), mesg, faulty);
            EXPECT_TRUE(config.IsOpen());
            config.WriteInteger(kCfgMainColumns, 5);
            config.PutPlacement(kCfgEditorPlacement, 10, 20, 400, 40);
            config.PutText(kCfgEditorListName, "");
            config.WriteInteger(kCfgEditorColumns, 7);
            PutMru(config, 100, Project("c.hhp"));
            PutMru(config, 101, Project("a.hhp"));
            PutMru(config, 102, Project("b.hhp"));
            faulty.TemporaryError = inPlace ? EACCES : 0;
            faulty.FailAfterBytes = budget;
        }
        // A failed write-back is reported as such, once.
        EXPECT_LE(mesg.shown.size(), 1u);
        return mesg.shown.empty();
    }

    // What the next start finds, read as the main window reads it: the recently used list
    // first, then the windows' own settings.
    struct Found {
        std::vector<std::string> Projects;
        int Columns = 0;
        int EditorColumns = 0;
        std::string ListName;
        int EditorWidth = 0;
        int ExportWidth = 0;
        std::vector<ScriptedMesg::Shown> Shown;
    };
    Found NextStart() const {
        ScriptedMesg mesg;
        Found found;
        TMru mru(DataFolder(), mesg);
        mru.Load(nullptr);
        for (int i = 0; i < mru.Count(); ++i) {
            found.Projects.push_back(mru.Item(i).ProjectFile);
        }
        {
            CConfig config(DataFolder(), mesg);
            EXPECT_TRUE(config.IsOpen());
            found.Columns = config.ReadInteger(kCfgMainColumns, kDefaultColumns);
            found.EditorColumns = config.ReadInteger(kCfgEditorColumns, kDefaultColumns);
            found.ListName = config.GetText(kCfgEditorListName, "");
            t_Placement editor{0, 0, 500, 500};
            config.GetPlacement(kCfgEditorPlacement, editor, 1000, 1000);
            found.EditorWidth = editor.Width;
            t_Placement exported{0, 0, 392, 141};
            config.GetPlacement(kCfgExportPlacement, exported, 1000, 1000);
            found.ExportWidth = exported.Width;
            config.WriteInteger(kCfgMainColumns, 3);
        }
        {
            CConfig config(DataFolder(), mesg);
            EXPECT_EQ(config.ReadInteger(kCfgMainColumns, kDefaultColumns), 3);
        }
        found.Shown = mesg.shown;
        return found;
    }

    // Every byte of the header's counts and sizes and every fifth of the rest of it, then the
    // index entries in use four bytes at a time, then the rest of the 12644 bytes of header and
    // index, and the records behind them, in blocks.
    static std::vector<long long> Budgets() {
        std::vector<long long> budgets;
        for (long long b = 0; b < 356; b += (b >= 76 && b < 100) ? 1 : 5) {
            budgets.push_back(b);
        }
        for (long long b = 356; b < 356 + 16 * 12; b += 4) {
            budgets.push_back(b);
        }
        for (long long b = 1024; b <= 30000; b += 4096) {
            budgets.push_back(b);
        }
        return budgets;
    }

    ScopedDataHome home_;
};

TEST_F(TornConfigTest, ACloseStoppedAtAnyByteKeepsTheOldFileWhole) {
    for (const long long budget : Budgets()) {
        SCOPED_TRACE("Close stopped after " + std::to_string(budget) + " bytes");
        RemoveConfigurations();
        EarlierSession();
        const bool closed = TornSession(budget, false);
        const Found found = NextStart();
        EXPECT_TRUE(found.Shown.empty());
        if (closed) {
            EXPECT_EQ(found.Projects, (std::vector<std::string>{Project("c.hhp"), Project("a.hhp"),
                                                                Project("b.hhp")}));
            EXPECT_EQ(found.EditorColumns, 7);
            EXPECT_EQ(found.ListName, "");
            EXPECT_EQ(found.EditorWidth, 400);
        } else {
            // The old file, with the records the burst rewrote in place: the burst's new keys,
            // its deletion and its appended records are lost, nothing else.
            EXPECT_EQ(found.Projects,
                      (std::vector<std::string>{Project("c.hhp"), Project("a.hhp")}));
            EXPECT_EQ(found.Columns, 5);
            EXPECT_EQ(found.EditorColumns, kDefaultColumns);
            EXPECT_EQ(found.ListName, "Old list");
            EXPECT_EQ(found.EditorWidth, 500);
        }
        EXPECT_EQ(found.ExportWidth, 300);
    }
}

TEST_F(TornConfigTest, AnInPlaceCloseStoppedAtAnyByteIsReadOrReportedOnce) {
    // Without a temporary file (a folder that cannot be written) header and index are written
    // over the old ones, and a tear inside an index entry can pair a key with another record's
    // place: single settings may then read wrongly. The file is still read (the recently used
    // list holds only existing projects, once each), or reported once and set aside; the start
    // after that is a quiet one.
    const std::set<std::string> projects = {Project("a.hhp"), Project("b.hhp"), Project("c.hhp")};
    int reported = 0;
    for (const long long budget : Budgets()) {
        SCOPED_TRACE("Close stopped after " + std::to_string(budget) + " bytes");
        RemoveConfigurations();
        EarlierSession();
        TornSession(budget, true);
        const Found found = NextStart();
        ASSERT_LE(found.Shown.size(), 1u);
        if (found.Shown.size() == 1) {
            ++reported;
            EXPECT_NE(found.Shown[0].text.find("The data file is damaged"), std::string::npos);
            EXPECT_TRUE(fs::exists(ConfigFile() + ".damaged"));
        }
        EXPECT_LE(found.Projects.size(), projects.size());
        for (const std::string& project : found.Projects) {
            EXPECT_EQ(projects.count(project), 1u) << project;
        }
        ScriptedMesg quiet;
        { CConfig config(DataFolder(), quiet); }
        EXPECT_TRUE(quiet.shown.empty());
    }
    EXPECT_LT(reported, static_cast<int>(Budgets().size()) / 4);
}

TEST_F(TornConfigTest, ACompletedCloseKeepsEverySetting) {
    EarlierSession();
    ASSERT_TRUE(TornSession(-1, false));
    const Found found = NextStart();
    EXPECT_EQ(found.Projects,
              (std::vector<std::string>{Project("c.hhp"), Project("a.hhp"), Project("b.hhp")}));
    EXPECT_EQ(found.Columns, 5);
    EXPECT_EQ(found.EditorColumns, 7);
    EXPECT_EQ(found.ListName, "");
    EXPECT_EQ(found.EditorWidth, 400);
    EXPECT_EQ(found.ExportWidth, 300);
    EXPECT_TRUE(found.Shown.empty());
}

TEST_F(TornConfigTest, AGrowingCloseStoppedAnywhereKeepsTheEarlierSettings) {
    // More keys than the index holds: Close rebuilds the file through a temporary copy, or
    // grows the index in place when no temporary file can be had.
    auto earlier = [] {
        CConfig config(DataFolder(), Mesg());
        for (int key = 1000; key < 2100; ++key) {
            config.WriteInteger(key, key);
        }
    };
    for (const bool inPlace : {false, true}) {
        for (long long budget = 0; budget < 36000; budget += 3000) {
            SCOPED_TRACE(std::string(inPlace ? "in place" : "rebuilt") + ", stopped after " +
                         std::to_string(budget) + " bytes");
            RemoveConfigurations();
            earlier();
            {
                ScriptedMesg mesg;
                TFaultyFileSystem faulty;
                CConfig config(DataFolder(), mesg, faulty);
                for (int key = 3000; key < 3300; ++key) {
                    config.WriteInteger(key, key);
                }
                faulty.TemporaryError = inPlace ? EACCES : 0;
                faulty.FailAfterBytes = budget;
            }
            ScriptedMesg mesg;
            CConfig config(DataFolder(), mesg);
            ASSERT_TRUE(config.IsOpen());
            EXPECT_TRUE(mesg.shown.empty());
            for (int key = 1000; key < 2100; key += 7) {
                ASSERT_EQ(config.ReadInteger(key, -1), key);
            }
            const int added = config.ReadInteger(3299, -1);
            EXPECT_TRUE(added == 3299 || added == -1);
        }
    }
}

TEST_F(TornConfigTest, AFileOfAnotherKeyTypeIsSetAsideLikeADamagedOne) {
    {
        CKdf other;
        ASSERT_TRUE(other.Open(ConfigFile(), 5, kKdfOpenAlways,
                               kKdfReadAccess | kKdfWriteAccess | kKdfShareRead));
        other.SetApplicationName("Tarnwick");
        other.WriteString("Name", "value");
    }
    const std::string bytes = testing::Slurp(ConfigFile());
    ScriptedMesg mesg;
    for (int start = 0; start < 2; ++start) {
        CConfig config(DataFolder(), mesg);
        EXPECT_TRUE(config.IsOpen());
        EXPECT_EQ(config.Header().KeyType, 1);
    }
    ASSERT_EQ(mesg.shown.size(), 1u);
    EXPECT_NE(mesg.shown[0].text.find("The index key type does not match"), std::string::npos);
    EXPECT_EQ(testing::Slurp(ConfigFile() + ".damaged"), bytes);
}

TEST_F(TornConfigTest, ADamagedFileThatCannotBeSetAsideIsReportedOncePerRun) {
    // Every name a damaged file could be kept under is taken already.
    home_.Home().Write("Tarnwick/Tarnwick.cfg.damaged", "earlier");
    for (int n = 2; n <= 100; ++n) {
        home_.Home().Write("Tarnwick/Tarnwick.cfg.damaged-" + std::to_string(n), "earlier");
    }
    home_.Home().Write("Tarnwick/Tarnwick.cfg", std::string(100, 'x'));
    ScriptedMesg mesg;
    for (int start = 0; start < 3; ++start) {
        CConfig config(DataFolder(), mesg);
        EXPECT_FALSE(config.IsOpen());
        config.WriteInteger(kCfgMainColumns, 4);
    }
    ASSERT_EQ(mesg.shown.size(), 1u);
    EXPECT_NE(mesg.shown[0].text.find("could not be renamed"), std::string::npos);
    EXPECT_EQ(testing::Slurp(ConfigFile()), std::string(100, 'x'));
    EXPECT_EQ(testing::Slurp(ConfigFile() + ".damaged"), "earlier");
}

}  // namespace
}  // namespace tarnwick
