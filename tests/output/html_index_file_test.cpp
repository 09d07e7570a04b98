// The .hhk writer, compared byte for byte with files written out by hand from the format.
#include "output/html_index_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/faulty_file_system.h"
#include "common/temp_folder.h"
#include "output/expected_index.h"

namespace tarnwick {
namespace {

using testing::Slurp;
using testing::TempFolder;

const std::string& kHead = testing::kIndexHead;
const std::string& kTail = testing::kIndexTail;
const auto Block = &testing::IndexBlock;

class HtmlIndexFileTest : public ::testing::Test {
protected:
    std::string WriteIndex(const std::vector<std::pair<std::string, std::string>>& entries) {
        THtmlIndexFile file(path);
        file.WriteHeader();
        for (const auto& [word, topic] : entries) {
            file.WriteEntry(word, topic);
        }
        file.WriteFooter();
        file.Close();
        return Slurp(path);
    }

    TempFolder folder;
    std::string path = folder.File("Index.hhk");
};

TEST_F(HtmlIndexFileTest, EmptyIndexIsHeadAndTailOnly) {
    const std::string bytes = WriteIndex({});
    EXPECT_EQ(bytes.size(), 293u);
    EXPECT_EQ(bytes, kHead + kTail);
    EXPECT_EQ(kHead.size(), THtmlIndexFile::kHeaderSize);
    EXPECT_EQ(kTail.size(), THtmlIndexFile::kFooterSize);
}

TEST_F(HtmlIndexFileTest, OneBlockPerTopicInTheGivenOrder) {
    const std::string bytes = WriteIndex(
        {{"Help", "b.htm"}, {"Help", "a.htm"}, {"Help", "html\\c.htm"}, {"Index", "a.htm"}});
    EXPECT_EQ(bytes, kHead + Block("Help", "b.htm") + Block("Help", "a.htm") +
                         Block("Help", "html\\c.htm") + Block("Index", "a.htm") + kTail);
    EXPECT_EQ(Block("", "").size(), THtmlIndexFile::kEntryFixedSize);
}

TEST_F(HtmlIndexFileTest, WordsAndTopicsAreWrittenVerbatim) {
    // Quotes, ampersands, angle brackets, blanks and bytes above 0x7F go in as they are.
    const std::string word = "say \"hi\" & <b>caf\xE9</b> ";
    const std::string topic = " Q&A \"1\".htm";
    EXPECT_EQ(WriteIndex({{word, topic}}), kHead + Block(word, topic) + kTail);
}

TEST_F(HtmlIndexFileTest, LongerOldFileIsFullyReplaced) {
    folder.Write("Index.hhk", std::string(5000, 'x'));
    const std::string bytes = WriteIndex({{"a", "b"}});
    EXPECT_EQ(bytes, kHead + Block("a", "b") + kTail);
    EXPECT_EQ(bytes.substr(bytes.size() - 7), "</HTML>");
}

TEST_F(HtmlIndexFileTest, MissingFolderRaisesTheCreateError) {
    try {
        THtmlIndexFile file(folder.File("no/such/Index.hhk"));
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(
                      "Cannot create file \"" + folder.File("no/such/Index.hhk") + "\". ", 0),
                  0u)
            << e.what();
    }
}

TEST_F(HtmlIndexFileTest, FailedWriteIsReported) {
    testing::TFaultyFileSystem full;
    full.FailAfterBytes = 100;
    THtmlIndexFile file(path, full);
    file.WriteHeader();
    file.WriteFooter();
    EXPECT_THROW(file.Close(), EWriteError);
}

}  // namespace
}  // namespace tarnwick
