#include "store/mru_item.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/scoped_data_home.h"
#include "common/scripted_mesg.h"
#include "store/config.h"

namespace tarnwick {
namespace {

using testing::ScopedDataHome;
using testing::ScopedEnv;
using testing::ScriptedMesg;

std::uint32_t LE32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
}

TEST(MruItemTest, RecordHasItsFieldsAtTheirOffsets) {
    TMruItem item;
    item.ProjectFile = "/help/project.hhp";
    item.WindowName = "main";
    item.Options = 0xA9;
    item.ExcludeListName = "Mine.txt";
    item.InitialId = -2;
    std::vector<unsigned char> record(TMruItem::kRecordSize, 0xEE);
    item.Encode(record.data());
    const auto text = [&](std::size_t at) {
        return std::string(reinterpret_cast<char*>(&record[at]));
    };
    EXPECT_EQ(LE32(&record[0]), 0u);
    EXPECT_EQ(text(4), "/help/project.hhp");
    EXPECT_EQ(text(260), "main");
    EXPECT_EQ(LE32(&record[324]), 0xA9u);
    EXPECT_EQ(text(328), "Mine.txt");
    EXPECT_EQ(LE32(&record[392]), 0xFFFFFFFEu);
    EXPECT_EQ(std::vector<unsigned char>(record.begin() + 396, record.end()),
              std::vector<unsigned char>(4096, 0));

    record[0] = 0x55;    // reserved: ignored on reading
    record[325] = 0x01;  // only the low byte of the options counts
    const TMruItem back = TMruItem::Decode(record.data(), record.size());
    EXPECT_EQ(back.ProjectFile, item.ProjectFile);
    EXPECT_EQ(back.WindowName, item.WindowName);
    EXPECT_EQ(back.Options, item.Options);
    EXPECT_EQ(back.ExcludeListName, item.ExcludeListName);
    EXPECT_EQ(back.InitialId, item.InitialId);

    const TMruItem shortRecord = TMruItem::Decode(record.data(), 10);  // the rest reads as zero
    EXPECT_EQ(shortRecord.ProjectFile, "/help/");
    EXPECT_EQ(shortRecord.InitialId, 0);
}

TEST(MruItemTest, TextsThatDoNotFitTheirFields) {
    TMruItem item;
    item.ProjectFile = "/" + std::string(255, 'p');  // 256 characters: no room for the NUL
    item.WindowName = std::string(70, 'w');
    item.ExcludeListName = std::string(64, 'e');
    std::vector<unsigned char> record(TMruItem::kRecordSize);
    item.Encode(record.data());
    const TMruItem back = TMruItem::Decode(record.data(), record.size());
    EXPECT_EQ(back.ProjectFile, "");  // never a shortened path that names another file
    EXPECT_EQ(back.WindowName, std::string(63, 'w'));
    EXPECT_EQ(back.ExcludeListName, std::string(63, 'e'));
    item.ProjectFile.pop_back();
    item.Encode(record.data());
    EXPECT_EQ(TMruItem::Decode(record.data(), record.size()).ProjectFile, item.ProjectFile);
}

// Records what the list shows in its menu.
class FakeMenu : public TMruMenu {
public:
    struct Item {
        std::string caption;
        const TMruItem* tag = nullptr;
        bool visible = true;
    };
    void SetItem(int index, const std::string& caption, const TMruItem* tag,
                 bool visible) override {
        items.at(static_cast<std::size_t>(index)) = {caption, tag, visible};
    }
    int VisibleCount() const {
        int n = 0;
        for (const Item& item : items)
            n += item.visible ? 1 : 0;
        return n;
    }
    std::vector<Item> items = std::vector<Item>(10);
};

class MruTest : public ::testing::Test {
protected:
    // An existing project file in the temporary home.
    std::string Project(const std::string& name) {
        return home_.Home().Write("projects/" + name, "[OPTIONS]\r\n");
    }
    TMruItem ItemFor(const std::string& path, std::uint8_t options = 0x09) {
        TMruItem item;
        item.ProjectFile = path;
        item.Options = options;
        return item;
    }
    void ExpectMenuMatchesList(const TMru& mru) {
        EXPECT_EQ(menu_.VisibleCount(), mru.Count());
        for (int i = 0; i < 10; ++i) {
            const auto& shown = menu_.items[static_cast<std::size_t>(i)];
            if (i < mru.Count()) {
                EXPECT_TRUE(shown.visible);
                EXPECT_EQ(shown.caption, mru.Item(i).ProjectFile);
                EXPECT_EQ(shown.tag, &mru.Item(i));
            } else {
                EXPECT_FALSE(shown.visible);
                EXPECT_EQ(shown.caption, "");
                EXPECT_EQ(shown.tag, nullptr);
            }
        }
    }

    ScopedDataHome home_;
    ScriptedMesg mesg_;
    FakeMenu menu_;
};

TEST_F(MruTest, LoadDropsMissingProjectsAndRepeats) {
    std::vector<std::string> paths;
    for (int i = 0; i < 10; ++i) {
        paths.push_back(Project("p" + std::to_string(i) + ".hhp"));
    }
    paths[5] = Project("P1.hhp");  // 101 in other letter case: on Linux another project
    paths[7] = paths[2];           // an exact repeat of 102
    {
        CConfig config(DataFolder(), mesg_);
        for (int i = 0; i < 10; ++i) {
            config.PutMruRecord(
                ItemFor(paths[static_cast<std::size_t>(i)], static_cast<std::uint8_t>(i)), 100 + i);
        }
    }
    std::filesystem::remove(paths[3]);  // deleted since

    TMru mru(DataFolder(), mesg_);
    mru.Load(&menu_);
    const std::vector<int> kept = {0, 1, 2, 4, 5, 6, 8, 9};
    ASSERT_EQ(mru.Count(), static_cast<int>(kept.size()));
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(mru.Item(static_cast<int>(i)).ProjectFile,
                  paths[static_cast<std::size_t>(kept[i])]);
        EXPECT_EQ(mru.Item(static_cast<int>(i)).Options, kept[i]);
    }
    ExpectMenuMatchesList(mru);
    EXPECT_TRUE(mesg_.shown.empty());
}

TEST_F(MruTest, AddKeepsTenMostRecentWithoutRepeats) {
    TMru mru(DataFolder(), mesg_);
    mru.Load(&menu_);
    EXPECT_EQ(mru.Count(), 0);
    std::vector<std::string> paths;
    for (int i = 0; i < 11; ++i) {
        paths.push_back(Project("p" + std::to_string(i) + ".hhp"));
        mru.Add(ItemFor(paths.back()));
    }
    ASSERT_EQ(mru.Count(), 10);
    EXPECT_EQ(mru.Item(0).ProjectFile, paths[10]);
    EXPECT_EQ(mru.Item(9).ProjectFile, paths[1]);  // the oldest, paths[0], is gone
    EXPECT_EQ(mru.Find(paths[0]), nullptr);

    mru.Add(ItemFor(paths[5], 0x21));  // already listed: moves to the front
    ASSERT_EQ(mru.Count(), 10);
    EXPECT_EQ(mru.Item(0).ProjectFile, paths[5]);
    EXPECT_EQ(mru.Item(0).Options, 0x21);
    EXPECT_EQ(mru.Item(1).ProjectFile, paths[10]);
    ExpectMenuMatchesList(mru);

    std::filesystem::remove(paths[4]);
    mru.Add(ItemFor(paths[4]));  // gone from disk: its entry leaves and nothing is added
    EXPECT_EQ(mru.Count(), 9);
    EXPECT_EQ(mru.Find(paths[4]), nullptr);
    ExpectMenuMatchesList(mru);
}

TEST_F(MruTest, RemoveAndTakeFirst) {
    TMru mru(DataFolder(), mesg_);
    mru.Load(&menu_);
    TMruItem taken;
    taken.WindowName = "stale";
    EXPECT_FALSE(mru.TakeFirst(taken));
    EXPECT_EQ(taken.WindowName, "");
    EXPECT_EQ(taken.ProjectFile, "");

    const std::string a = Project("a.hhp");
    const std::string b = Project("b.hhp");
    mru.Add(ItemFor(a));
    mru.Add(ItemFor(b, 0x30));
    EXPECT_FALSE(mru.Remove(Project("c.hhp")));
    EXPECT_TRUE(mru.Remove(a));
    ExpectMenuMatchesList(mru);
    ASSERT_TRUE(mru.TakeFirst(taken));
    EXPECT_EQ(taken.ProjectFile, b);
    EXPECT_EQ(taken.Options, 0x30);
    EXPECT_EQ(mru.Count(), 0);
    ExpectMenuMatchesList(mru);
}

TEST_F(MruTest, SaveAndLoadRoundTripWithSettings) {
    const std::string a = Project("a.hhp");
    const std::string b = Project("b.hhp");
    {
        TMru mru(DataFolder(), mesg_);
        mru.Load(&menu_);
        TMruItem item = ItemFor(a, 0x4F);
        item.WindowName = "HelpWindow";
        item.ExcludeListName = "Secondary.txt";
        item.InitialId = 5000;
        mru.Add(item);
        mru.Add(ItemFor(b));
        mru.Save();
    }
    TMru mru(DataFolder(), mesg_);
    mru.Load(&menu_);
    ASSERT_EQ(mru.Count(), 2);
    EXPECT_EQ(mru.Item(0).ProjectFile, b);
    const TMruItem& item = mru.Item(1);
    EXPECT_EQ(item.ProjectFile, a);
    EXPECT_EQ(item.Options, 0x4F);
    EXPECT_EQ(item.WindowName, "HelpWindow");
    EXPECT_EQ(item.ExcludeListName, "Secondary.txt");
    EXPECT_EQ(item.InitialId, 5000);

    // A shorter list saved later leaves the old records behind: key 101 still names a, a
    // repeat that the next load drops.
    TMruItem first;
    ASSERT_TRUE(mru.TakeFirst(first));
    mru.Save();
    TMru again(DataFolder(), mesg_);
    again.Load(nullptr);
    ASSERT_EQ(again.Count(), 1);
    EXPECT_EQ(again.Item(0).ProjectFile, a);
}

TEST_F(MruTest, WithoutAConfigurationTheListIsEmptyAndNothingIsSaved) {
    const std::string a = Project("a.hhp");
    ScopedEnv noDataHome("XDG_DATA_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    PrepareDataFolders();
    TMru mru(DataFolder(), mesg_);
    mru.Add(ItemFor(a));
    mru.Save();
    mru.Load(&menu_);
    EXPECT_EQ(mru.Count(), 0);
    ExpectMenuMatchesList(mru);
    EXPECT_TRUE(mesg_.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(home_.Home().File("Tarnwick/Tarnwick.cfg")));
}

}  // namespace
}  // namespace tarnwick
