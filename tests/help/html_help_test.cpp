// The help loader against the CHM library and against Tarnwick's own compiled help file, and the
// parts of the file format it reads, with damaged records.
#include "help/html_help.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/temp_folder.h"

namespace tarnwick {
namespace {

using testing::TempFolder;

const std::string kBuiltHelp = std::string(TARNWICK_OUTPUT_DIR) + "/Tarnwick.chm";

// Whether the CHM library is mapped into the process: only a live help object keeps it there.
bool ChmLibraryLoaded() {
    void* handle = ::dlopen("libchm.so.1", RTLD_NOW | RTLD_NOLOAD);
    if (!handle) {
        return false;
    }
    ::dlclose(handle);
    return true;
}

std::string U32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string U16(std::uint16_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

class HtmlHelpLoaderTest : public ::testing::Test {
protected:
    void TearDown() override {
        CloseHtmlHelp();
        EXPECT_EQ(CHtmlHelp::LiveCount(), 0);
        EXPECT_FALSE(ChmLibraryLoaded());
    }

    // The error a construction raises, checked to leave nothing loaded.
    static HtmlError LoadError(const std::string& file, const TChmLibrary& library) {
        try {
            CHtmlHelp help(file, library);
        } catch (const HtmlError& e) {
            EXPECT_FALSE(ChmLibraryLoaded()) << "a failed load left the library mapped";
            return e;
        }
        ADD_FAILURE() << "no HtmlError";
        return HtmlError(0, "");
    }

    TempFolder folder_;
};

TEST_F(HtmlHelpLoaderTest, MissingHelpFileIsCodeOneAndLeavesNoHelp) {
    try {
        OpenHtmlHelp(folder_.File("Tarnwick.chm"));
        FAIL() << "no HtmlError";
    } catch (const HtmlError& e) {
        EXPECT_EQ(e.Code(), 1);
        EXPECT_EQ(e.Text(), "The compiled help file (.chm) was not found.");
    }
    EXPECT_EQ(CurrentHtmlHelp(), nullptr);
    // A folder of that name is no help file either.
    std::filesystem::create_directory(folder_.Path() / "Folder.chm");
    EXPECT_THROW(OpenHtmlHelp(folder_.File("Folder.chm")), HtmlError);
}

TEST_F(HtmlHelpLoaderTest, LibraryThatCannotBeLoadedIsCodeTwo) {
    TChmLibrary library;
    library.Name = "libtarnwick-no-such-chm-library.so.7";
    const HtmlError e = LoadError(kBuiltHelp, library);
    EXPECT_EQ(e.Code(), 2);
    EXPECT_EQ(e.Text(), "Failure to LoadLibrary( \"hhctrl.ocx\" ).");
    EXPECT_NE(std::string(e.what()).find("libtarnwick-no-such-chm-library"), std::string::npos);
}

// Every entry point is looked up: missing any one of them is code 3 and unloads the library.
TEST_F(HtmlHelpLoaderTest, EachMissingEntryPointIsCodeThree) {
    const std::vector<std::string TChmLibrary::*> entries = {
        &TChmLibrary::Open, &TChmLibrary::Close, &TChmLibrary::Resolve, &TChmLibrary::Retrieve,
        &TChmLibrary::Enumerate};
    for (const auto entry : entries) {
        TChmLibrary library;
        library.*entry = "chm_no_such_entry_point";
        const HtmlError e = LoadError(kBuiltHelp, library);
        EXPECT_EQ(e.Code(), 3);
        EXPECT_EQ(e.Text(),
                  "Failure to get the proceedure address from the HTML Help Program "
                  "(GetProcAddress).");
    }
    // A library that loads but is not the CHM library at all.
    TChmLibrary other;
    other.Name = "libm.so.6";
    EXPECT_EQ(LoadError(kBuiltHelp, other).Code(), 3);
}

TEST_F(HtmlHelpLoaderTest, FileTheLibraryCannotReadIsCodeFour) {
    for (const std::string& content : {std::string(), std::string("not a compiled help file")}) {
        const std::string file = folder_.Write("Tarnwick.chm", content);
        try {
            OpenHtmlHelp(file);
            FAIL() << "no HtmlError";
        } catch (const HtmlError& e) {
            EXPECT_EQ(e.Code(), 4);
            EXPECT_EQ(e.Text(), "The compiled help file (.chm) could not be read.");
        }
        EXPECT_EQ(CurrentHtmlHelp(), nullptr);
        EXPECT_FALSE(ChmLibraryLoaded());
    }
}

TEST_F(HtmlHelpLoaderTest, OpeningTwiceLeavesOneLoadedLibrary) {
    ASSERT_TRUE(OpenHtmlHelp(kBuiltHelp));
    ASSERT_TRUE(OpenHtmlHelp(kBuiltHelp));
    EXPECT_NE(CurrentHtmlHelp(), nullptr);
    EXPECT_EQ(CHtmlHelp::LiveCount(), 1);
    // One reference: closing the one object unmaps the library (checked in TearDown).
    CloseHtmlHelp();
    EXPECT_EQ(CurrentHtmlHelp(), nullptr);
}

TEST_F(HtmlHelpLoaderTest, FailedReopenLeavesNoHelp) {
    ASSERT_TRUE(OpenHtmlHelp(kBuiltHelp));
    EXPECT_THROW(OpenHtmlHelp(folder_.File("missing.chm")), HtmlError);
    EXPECT_EQ(CurrentHtmlHelp(), nullptr);
    EXPECT_EQ(CHtmlHelp::LiveCount(), 0);
}

// Tarnwick's own help file, as the build made it.
class BuiltHelpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { help_ = new CHtmlHelp(kBuiltHelp); }
    static void TearDownTestSuite() {
        delete help_;
        help_ = nullptr;
    }
    static CHtmlHelp* help_;
};
CHtmlHelp* BuiltHelpTest::help_ = nullptr;

TEST_F(BuiltHelpTest, ContextIdsOfTheProgramsWindowsOpenTheirTopics) {
    EXPECT_EQ(help_->TopicOfContext(1), "/html/alias_map_dialog.htm");
    EXPECT_EQ(help_->TopicOfContext(4), "/html/exclude_list_editor.htm");
    EXPECT_EQ(help_->TopicOfContext(7), "/html/main_window.htm");
    EXPECT_EQ(help_->TopicOfContext(2), "");
    EXPECT_EQ(help_->TopicOfContext(0), "");
}

TEST_F(BuiltHelpTest, StoredTopicPathsAreBuildPathsResolvedByTheirTrailingParts) {
    const std::string stored = help_->ContextMap().at(7);
    EXPECT_NE(stored, "/html/main_window.htm");  // the compiler's own absolute path
    EXPECT_TRUE(stored.ends_with("/html/main_window.htm")) << stored;
    EXPECT_FALSE(help_->HasObject(stored));
    // A reference in other letter case gets the name the file stores.
    EXPECT_EQ(help_->ResolveTopic("HTML\\Main_Window.htm"), "/html/main_window.htm");
}

TEST_F(BuiltHelpTest, SystemRecordNamesContentsIndexAndDefaultTopic) {
    const THelpSystem& system = help_->System();
    EXPECT_EQ(system.ContentsFile, "Tarnwick.hhc");
    EXPECT_EQ(system.IndexFile, "Tarnwick.hhk");
    EXPECT_EQ(system.Title, "Tarnwick Help");
    EXPECT_EQ(help_->ResolveTopic(system.DefaultTopic), "/html/welcome.htm");
}

TEST_F(BuiltHelpTest, ReadsPagesImagesAndTheNavigationFiles) {
    const auto page = help_->ReadObject("/html/main_window.htm");
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("<title>The main window</title>"), std::string::npos);
    EXPECT_TRUE(page->ends_with("</html>\r\n"));  // read whole, not cut at a block
    const auto image = help_->ReadObject("/html/images/workflow.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->substr(0, 8), "\x89PNG\r\n\x1A\n");
    EXPECT_TRUE(help_->ReadObject("/Tarnwick.hhk"));
    EXPECT_TRUE(help_->ReadObject("/Tarnwick.hhc"));
    EXPECT_FALSE(help_->ReadObject("/html/no_such_page.htm"));

    const std::vector<std::string> paths = help_->ObjectPaths();
    const std::set<std::string> all(paths.begin(), paths.end());
    EXPECT_TRUE(all.count("/html/welcome.htm"));
    EXPECT_TRUE(all.count("/html/tarnwick.css"));
    EXPECT_FALSE(all.count("/#IVB"));  // internal records are not files of the help
}

// --- The format parts, with damage ------------------------------------------------------------

TEST(ContextMapTest, PairsNameTopicsByOffset) {
    const std::string strings = std::string("\0/a.htm\0/sub/b.htm\0", 19);
    const std::string ivb = U32(16) + U32(7) + U32(1) + U32(4) + U32(8);
    const auto map = ReadContextMap(ivb, strings);
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at(7), "/a.htm");
    EXPECT_EQ(map.at(4), "/sub/b.htm");
}

TEST(ContextMapTest, DamagedRecordsAreSkipped) {
    const std::string strings = std::string("\0/a.htm\0/b", 10);  // the last text lacks its NUL
    struct Case {
        const char* name;
        std::string ivb;
        std::map<std::uint32_t, std::string> expected;
    };
    const Case cases[] = {
        {"shorter than its count", U32(4), {}},
        {"count beyond the record", U32(64) + U32(1) + U32(1), {{1, "/a.htm"}}},
        {"half a pair at the end", U32(12) + U32(1) + U32(1) + U32(2), {{1, "/a.htm"}}},
        {"offset past the strings", U32(16) + U32(1) + U32(500) + U32(2) + U32(1), {{2, "/a.htm"}}},
        {"offset of an empty text", U32(8) + U32(1) + U32(0), {}},
        {"unterminated last text", U32(8) + U32(3) + U32(8), {{3, "/b"}}},
        {"first pair of an ID wins", U32(16) + U32(5) + U32(1) + U32(5) + U32(8), {{5, "/a.htm"}}},
        {"empty record", std::string(), {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadContextMap(c.ivb, strings), c.expected) << c.name;
    }
}

TEST(SystemRecordsTest, ReadsTheTextRecordsAndStopsAtACutRecord) {
    auto record = [](std::uint16_t code, const std::string& data) {
        return U16(code) + U16(static_cast<std::uint16_t>(data.size())) + data;
    };
    const std::string system =
        U32(3) + record(10, std::string(4, '\x01')) + record(2, std::string("html\\a.htm\0", 11)) +
        record(3, std::string("Title\0", 6)) + record(0, std::string("t.hhc\0", 6)) +
        record(1, std::string("t.hhk\0", 6));
    const THelpSystem read = ReadSystemRecords(system);
    EXPECT_EQ(read.DefaultTopic, "html\\a.htm");
    EXPECT_EQ(read.Title, "Title");
    EXPECT_EQ(read.ContentsFile, "t.hhc");
    EXPECT_EQ(read.IndexFile, "t.hhk");

    // A record whose length runs past the end ends the reading; what came before stays.
    const std::string cut = U32(3) + record(3, std::string("Title\0", 6)) + U16(0) + U16(200) + "x";
    const THelpSystem partial = ReadSystemRecords(cut);
    EXPECT_EQ(partial.Title, "Title");
    EXPECT_EQ(partial.ContentsFile, "");
    EXPECT_EQ(ReadSystemRecords("\x03\0").Title, "");
}

TEST(TrailingPathTest, ResolvesStoredPathsToObjects) {
    const std::set<std::string> objects = {"/html/a.htm", "/a.htm", "/html/sub/b.htm",
                                           "/Tarnwick.hhk"};
    auto exists = [&](const std::string& path) { return objects.count(path) > 0; };
    struct Case {
        const char* stored;
        const char* expected;
    };
    const Case cases[] = {
        {"/home/ann/build/help/project/html/a.htm", "/html/a.htm"},  // longest match wins
        {"/x/a.htm", "/a.htm"},
        {"html\\sub\\b.htm", "/html/sub/b.htm"},  // a Windows [FILES] entry
        {"C:\\Help\\html\\sub\\b.htm", "/html/sub/b.htm"},
        {"html/a.htm", "/html/a.htm"},
        {"//html//a.htm", "/html/a.htm"},
        {"Tarnwick.hhk", "/Tarnwick.hhk"},
        {"/home/ann/missing.htm", ""},
        {"", ""},
        {"///", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveTrailingPath(c.stored, exists), c.expected) << c.stored;
    }
}

}  // namespace
}  // namespace tarnwick
