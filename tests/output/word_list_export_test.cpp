// The word-list export: the file's bytes and the ".txt" rule.
#include "output/word_list_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/faulty_file_system.h"
#include "common/temp_folder.h"
#include "platform/file_system.h"

namespace tarnwick {
namespace {

using testing::Slurp;
using testing::TempFolder;

TEST(WordListExportTest, EntriesInOrderEachEndedAndEmptyOnesLeftOut) {
    TempFolder folder;
    const std::string path = folder.Write("words.txt", std::string(4000, 'x'));
    EXPECT_TRUE(ExportWordList(path, {"Zebra", "", "caf\xE9", " spaced ", "Help"}));
    EXPECT_EQ(Slurp(path), "Zebra\r\ncaf\xE9\r\n spaced \r\nHelp\r\n");
}

TEST(WordListExportTest, EmptyListTouchesNoFile) {
    TempFolder folder;
    EXPECT_FALSE(ExportWordList(folder.File("new.txt"), {}));
    EXPECT_FALSE(std::filesystem::exists(folder.File("new.txt")));
    const std::string old = folder.Write("old.txt", "kept\r\n");
    EXPECT_FALSE(ExportWordList(old, {}));
    EXPECT_EQ(Slurp(old), "kept\r\n");
}

TEST(WordListExportTest, FailuresAreRaisedNotSwallowed) {
    TempFolder folder;
    EXPECT_THROW(ExportWordList(folder.File("missing/words.txt"), {"a"}), EFCreateError);
    testing::TFaultyFileSystem full;
    full.FailAfterBytes = 3;
    EXPECT_THROW(ExportWordList(folder.File("words.txt"), {"abc", "def"}, full), EWriteError);
}

struct ExtensionCase {
    const char* path;
    const char* forced;
};

class ForceTxtExtensionTest : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(ForceTxtExtensionTest, OnTheFileNamePartOnly) {
    EXPECT_EQ(ForceTxtExtension(GetParam().path), GetParam().forced);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ForceTxtExtensionTest,
    ::testing::Values(ExtensionCase{"/out/words.csv", "/out/words.txt"},
                      ExtensionCase{"/out/words.TXT", "/out/words.TXT"},
                      ExtensionCase{"/out/words.Txt", "/out/words.Txt"},
                      ExtensionCase{"/out/my.dir/words", "/out/my.dir/words.txt"},
                      ExtensionCase{"/out/words", "/out/words.txt"},
                      ExtensionCase{"/out/a.b.c", "/out/a.b.txt"},
                      ExtensionCase{"/out/words.", "/out/words.txt"},
                      ExtensionCase{"/out/words.txt.bak", "/out/words.txt.txt"},
                      ExtensionCase{"", ".txt"}));

}  // namespace
}  // namespace tarnwick
