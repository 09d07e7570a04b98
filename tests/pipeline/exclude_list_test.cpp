// Exclude list files: how lines are read, which spelling stays, how a list is written back.
#include "pipeline/exclude_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/temp_folder.h"
#include "common/word_sets.h"
#include "platform/file_system.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;

class ExcludeListTest : public ::testing::Test {
protected:
    TExcludeList Load(std::string_view bytes) {
        return TExcludeList(folder_.Write("list.txt", bytes));
    }
    testing::TempFolder folder_;
};

TEST_F(ExcludeListTest, SortedFirstSpellingKeptEmptyLineIsAnEntry) {
    TExcludeList list = Load("the\r\nThe\r\nand\r\n\r\nTHE\r\n");
    EXPECT_EQ(list.Words(), (Strings{"", "and", "the"}));
    list.Save();
    EXPECT_EQ(testing::Slurp(list.FileName), "\r\nand\r\nthe\r\n");
}

TEST_F(ExcludeListTest, LineEndsOfEveryKind) {
    const Strings expected = {"a", "b", "c"};
    EXPECT_EQ(Load("c\r\nb\r\na\r\n").Words(), expected);
    EXPECT_EQ(Load("c\nb\na\n").Words(), expected);
    EXPECT_EQ(Load("c\rb\ra\r").Words(), expected);
    EXPECT_EQ(Load("c\rb\na").Words(), expected);  // the last line without a break counts
}

TEST_F(ExcludeListTest, LineBreakPairsAndNul) {
    // LF CR is two line ends, so it gives an empty entry between; a NUL ends the text.
    EXPECT_EQ(Load("a\n\rb").Words(), (Strings{"", "a", "b"}));
    EXPECT_EQ(Load(std::string("a\r\nb\0c\r\n", 8)).Words(), (Strings{"a", "b"}));
    EXPECT_TRUE(Load("").Words().empty());
    EXPECT_EQ(Load("\r\n").Words(), Strings{""});
}

TEST_F(ExcludeListTest, LinesAreNotTrimmed) {
    const TExcludeList list = Load("the \r\n\tand\r\n");
    EXPECT_FALSE(testing::IsExcluded(list, "the"));
    EXPECT_FALSE(testing::IsExcluded(list, "and"));
    EXPECT_TRUE(testing::IsExcluded(list, "THE "));
}

TEST_F(ExcludeListTest, MatchesWholeWordsInAnyCase) {
    const TExcludeList list = Load("the\r\nna\xEFve\r\n");
    EXPECT_TRUE(testing::IsExcluded(list, "The"));
    EXPECT_TRUE(testing::IsExcluded(list, "THE"));
    EXPECT_TRUE(testing::IsExcluded(list, "NA\xCFVE"));  // Windows-1252 capital of 0xEF
    EXPECT_FALSE(testing::IsExcluded(list, "naive"));    // accents count
    EXPECT_FALSE(testing::IsExcluded(list, "them"));
    EXPECT_FALSE(testing::IsExcluded(list, "th"));
}

TEST_F(ExcludeListTest, AddWordKeepsOrderAndHeldSpelling) {
    TExcludeList list;
    EXPECT_TRUE(list.AddWord("pear"));
    EXPECT_TRUE(list.AddWord("Apple"));
    EXPECT_FALSE(list.AddWord("APPLE"));
    EXPECT_TRUE(list.AddWord("banana"));
    EXPECT_EQ(list.Words(), (Strings{"Apple", "banana", "pear"}));
    EXPECT_TRUE(testing::IsExcluded(list, "apple"));
}

// A list moved away from is an empty list that still answers and takes words; the one moved to
// keeps its own, and neither sees the other's.
TEST_F(ExcludeListTest, AListMovedFromIsEmptyAndUsable) {
    TExcludeList list = Load("the\r\nand\r\n");
    TExcludeList taken = std::move(list);
    EXPECT_TRUE(testing::IsExcluded(taken, "THE"));
    EXPECT_FALSE(testing::IsExcluded(list, "the"));
    EXPECT_TRUE(list.AddWord("or"));
    EXPECT_TRUE(testing::IsExcluded(list, "OR"));
    EXPECT_FALSE(testing::IsExcluded(taken, "or"));
    EXPECT_EQ(taken.Words(), (Strings{"and", "the"}));
    list = std::move(taken);
    EXPECT_TRUE(testing::IsExcluded(list, "And"));
    EXPECT_FALSE(testing::IsExcluded(taken, "and"));
    EXPECT_TRUE(taken.AddWord("but"));
    EXPECT_EQ(taken.Words(), Strings{"but"});
}

TEST_F(ExcludeListTest, SaveWithoutFileNameWritesNothing) {
    TExcludeList list;
    list.AddWord("x");
    EXPECT_NO_THROW(list.Save());
}

TEST_F(ExcludeListTest, SaveReplacesTheFile) {
    TExcludeList list = Load("zebra\r\nant\r\nmouse\r\n");
    list.AddWord("Bee");
    list.Save();
    EXPECT_EQ(testing::Slurp(list.FileName), "ant\r\nBee\r\nmouse\r\nzebra\r\n");
}

TEST_F(ExcludeListTest, MissingFileRaisesOpenError) {
    EXPECT_THROW(TExcludeList(folder_.File("none.txt")), EFOpenError);
    EXPECT_THROW(TExcludeList(folder_.Path().string()), EFOpenError);
}

TEST_F(ExcludeListTest, UnwritableFileRaisesCreateError) {
    TExcludeList list;
    list.FileName = folder_.File("no/such/folder/list.txt");
    list.AddWord("x");
    EXPECT_THROW(list.Save(), EFCreateError);
}

TEST_F(ExcludeListTest, ReadsWhileAnotherReaderHoldsTheFile) {
    const std::string path = folder_.Write("shared.txt", "a\r\n");
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    EXPECT_EQ(TExcludeList(path).Words(), Strings{"a"});
    ::close(fd);
}

TEST_F(ExcludeListTest, LargeListLoadsInWordOrder) {
    std::string text;
    for (int i = 2000; i > 0; --i) {
        text += "w" + std::to_string(i) + "\r\n";
    }
    const TExcludeList list = Load(text);
    ASSERT_EQ(list.Count(), 2000u);
    EXPECT_TRUE(testing::IsExcluded(list, "W1234"));
    EXPECT_FALSE(testing::IsExcluded(list, "w2001"));
    EXPECT_EQ(list.Words().front(), "w1");
    EXPECT_EQ(list.Words()[1], "w10");  // word order, not numeric order
}

}  // namespace
}  // namespace tarnwick
