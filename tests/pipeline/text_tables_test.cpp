// The pipeline's small text tables: texts are found again after the tables grow, views stay
// valid meanwhile, and a table grown for a large page shrinks back without keeping old texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/text_arena.h"
#include "pipeline/text_map.h"
#include "pipeline/view_set.h"

namespace tarnwick {
namespace {

std::vector<std::string> Texts(int count, const std::string& stem) {
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        texts.push_back(stem + std::to_string(i));
    }
    return texts;
}

TEST(ViewSetTest, TextsAreFoundThroughGrowthAndAdmittedOnlyOnce) {
    const auto texts = Texts(5000, "t");
    TViewSet set;
    int asked = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        const auto admit = [&] {
            ++asked;
            return i % 3 != 0;  // every third text is refused
        };
        const auto stable = [&] { return std::string_view(texts[i]); };
        ASSERT_EQ(set.InsertCopyIf(texts[i], HashText(texts[i]), admit, stable),
                  i % 3 ? TViewSet::Insertion::Inserted : TViewSet::Insertion::Refused);
    }
    EXPECT_EQ(asked, 5000);
    for (size_t i = 0; i < texts.size(); ++i) {
        const auto never = [&] {
            ++asked;
            return true;
        };
        const auto stable = [&] { return std::string_view(texts[i]); };
        const TViewSet::Insertion again =
            set.InsertCopyIf(texts[i], HashText(texts[i]), never, stable);
        ASSERT_EQ(again, i % 3 ? TViewSet::Insertion::Present : TViewSet::Insertion::Inserted);
        EXPECT_TRUE(set.Contains(texts[i]));
    }
    EXPECT_EQ(asked, 5000 + 1667);
    EXPECT_FALSE(set.Contains("t5000"));
    EXPECT_TRUE(set.Insert(""));  // the empty text is a text like any other
    EXPECT_TRUE(set.Contains(""));
    EXPECT_FALSE(set.Insert(""));
}

TEST(ViewSetTest, ClearAfterALargePageForgetsEverything) {
    const auto large = Texts(20000, "large");
    const auto small = Texts(50, "small");
    TViewSet set;
    for (const auto& text : large) {
        ASSERT_TRUE(set.Insert(text));
    }
    for (int round = 0; round < 3; ++round) {
        set.Clear();  // the second Clear gives the large table up
        EXPECT_EQ(set.Size(), 0u);
        EXPECT_FALSE(set.Contains(large.front()));
        for (const auto& text : small) {
            ASSERT_TRUE(set.Insert(text));
            ASSERT_FALSE(set.Insert(text));
        }
        for (const auto& text : small) {
            EXPECT_TRUE(set.Contains(text));
        }
    }
}

TEST(TextMapTest, ItemsKeepTheirTextsAndOrderWhileTheMapGrows) {
    const auto texts = Texts(10000, "key");
    TTextMap<int> map;
    std::vector<std::string_view> views;
    for (size_t i = 0; i < texts.size(); ++i) {
        auto [item, inserted] = map.Insert(texts[i]);
        ASSERT_TRUE(inserted);
        item->Data = static_cast<int>(i);
        views.push_back(item->Text);
    }
    EXPECT_FALSE(map.Insert(texts[7]).second);
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(views[i], texts[i]);  // views taken before the growth
        ASSERT_EQ(map.Find(texts[i])->Data, static_cast<int>(i));
        ASSERT_EQ(map.Items()[i].Text, texts[i]);
    }
    EXPECT_EQ(map.Find("key10000"), nullptr);
    TTextMap<int> moved = std::move(map);
    EXPECT_EQ(moved.Find(texts[42])->Data, 42);
}

TEST(TextArenaTest, LongAndShortTextsStayIntact) {
    TTextArena arena(64);
    std::vector<std::string> texts = {"a", std::string(200, 'x'), "", "bc", std::string(63, 'y')};
    for (int i = 0; i < 100; ++i) {
        texts.push_back(std::to_string(i * i));
    }
    std::vector<std::string_view> views;
    for (const auto& text : texts) {
        views.push_back(arena.Store(text));
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(views[i], texts[i]);
    }
    arena.Clear();
    EXPECT_EQ(arena.Store("again"), "again");

    // A move hands the strings over; the arena moved from stores into blocks of its own.
    const std::string_view kept = arena.Store("kept");
    TTextArena taken = std::move(arena);
    const std::string_view fresh = arena.Store("fresh");
    EXPECT_EQ(taken.Store("other"), "other");
    EXPECT_EQ(fresh, "fresh");
    EXPECT_EQ(kept, "kept");
}

TEST(SameTextTest, EveryLengthAndEveryDifferingByte) {
    for (size_t length = 0; length < 40; ++length) {
        const std::string a(length, 'q');
        EXPECT_TRUE(SameText(a, std::string(length, 'q')));
        EXPECT_FALSE(SameText(a, a + "q"));
        for (size_t at = 0; at < length; ++at) {
            std::string b = a;
            b[at] = 'r';
            EXPECT_FALSE(SameText(a, b)) << length << " " << at;
        }
    }
}

}  // namespace
}  // namespace tarnwick
