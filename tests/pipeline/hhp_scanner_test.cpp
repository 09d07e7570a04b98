// The project scanner's byte rules: where sections and keys are found, how lines end, what a
// missing or unreadable project leaves behind.
#include "pipeline/hhp_scanner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/temp_folder.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;

TEST(FindSectionTest, LastStartPositionIsNeverTried) {
    EXPECT_EQ(THhpScanner::FindSection("x[FILES]\r\n", "[FILES]"), 8u);
    EXPECT_EQ(THhpScanner::FindSection("[FILES]x", "[FILES]"), 7u);
    // The header ends exactly at the end of the file: its start is the one position not tried.
    EXPECT_EQ(THhpScanner::FindSection("x[FILES]", "[FILES]"), std::nullopt);
    EXPECT_EQ(THhpScanner::FindSection("[FILES]", "[FILES]"), std::nullopt);
    EXPECT_EQ(THhpScanner::FindSection("", "[FILES]"), std::nullopt);
}

TEST(FindSectionTest, AsciiLettersInEitherCaseOtherBytesExact) {
    EXPECT_EQ(THhpScanner::FindSection("[files]\n", "[FILES]"), 7u);
    EXPECT_EQ(THhpScanner::FindSection("[FiLeS]\n", "[FILES]"), 7u);
    // Anywhere, even inside a value; the first occurrence wins.
    EXPECT_EQ(THhpScanner::FindSection("Title=[ALIAS] x\n[ALIAS]\n", "[ALIAS]"), 13u);
    // 0xC9 is the capital of 0xE9 in Windows-1252, but only ASCII letters fold here.
    EXPECT_EQ(THhpScanner::FindSection("[\xE9]\n", "[\xC9]"), std::nullopt);
    EXPECT_EQ(THhpScanner::FindSection("[ FILES]\n", "[FILES]"), std::nullopt);
    // A key that starts with a letter, met in the other case after a byte that is no letter.
    EXPECT_EQ(THhpScanner::FindSection("@`[iNDEX file=a\n", "Index file"), 13u);
}

struct KeyCase {
    const char* name;
    std::string buffer;
    std::string value;
};

class ReadKeyValueTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(ReadKeyValueTest, IndexFile) {
    EXPECT_EQ(THhpScanner::ScanBytes(GetParam().buffer).IndexCaption, " " + GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadKeyValueTest,
    ::testing::Values(
        KeyCase{"Plain", "[OPTIONS]\r\nIndex file=Help.hhk\r\n", "Help.hhk"},
        KeyCase{"UpperCaseWithBlanks", "[OPTIONS]\r\nINDEX FILE = Help.hhk \r\n", "Help.hhk"},
        KeyCase{"EmptyValueTakesNextLine", "x\r\nIndex file=\r\nLanguage=0x409\r\n",
                "Language=0x409"},
        KeyCase{"FirstLineIsNotFound", "Index file=Help.hhk\r\nTitle=x\r\n", ""},
        // Project files written on Linux end their lines in LF alone.
        KeyCase{"AfterBareLf", "[OPTIONS]\nIndex file=Help.hhk\n", "Help.hhk"},
        KeyCase{"LfEmptyValueTakesNextLine", "x\nIndex file=\n\nLanguage=0x409\n",
                "Language=0x409"},
        KeyCase{"LfFirstLineIsNotFound", "Index file=Help.hhk\nTitle=x\n", ""},
        KeyCase{"FirstMatchWhateverTheLineEnd", "x\nINDEX FILE=a.hhk\r\nIndex file=b.hhk\r\n",
                "a.hhk"},
        KeyCase{"KeyEndingAtLastStartIsNotFound", "x\nIndex file", ""},
        KeyCase{"PrefixMatch", "x\r\nIndex filename=x.hhk\r\n", "name=x.hhk"},
        KeyCase{"AnySection", "[WINDOWS]\r\nIndex file=w.hhk\r\n[OPTIONS]\r\n", "w.hhk"},
        KeyCase{"InnerSpacesKept", "x\r\nIndex file=My Help.hhk\tjunk\r\n", "My Help.hhk"},
        KeyCase{"ValueRunsToEndOfBuffer", "x\r\nIndex file=a.hhk", "a.hhk"},
        KeyCase{"HighBytesArePrintable", "x\r\nIndex file=\xC4nderung.hhk\r\n", "\xC4nderung.hhk"},
        KeyCase{"Missing", "[OPTIONS]\r\nTitle=x\r\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct IncludeCase {
    const char* name;
    std::string section;
    std::string result;
};

class ReadIncludeNameTest : public ::testing::TestWithParam<IncludeCase> {};

TEST_P(ReadIncludeNameTest, Alias) {
    const std::string buffer = "[ALIAS]" + GetParam().section;
    EXPECT_EQ(THhpScanner::ReadIncludeName(buffer, 7), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadIncludeNameTest,
    ::testing::Values(
        IncludeCase{"Include", "\r\n#include alias.h\r\n", "alias.h"},
        IncludeCase{"BlankLinesSkipped", "\r\n\r\n   \r\n  #include  alias.h \r\n", "alias.h"},
        IncludeCase{"CapitalsNotRecognised", "\r\n#INCLUDE alias.h\r\n", "#INCLUDE alias.h"},
        IncludeCase{"TabEndsTheLine", "\r\n#include\talias.h\r\n", "#include"},
        IncludeCase{"AngleBracketsStay", "\r\n#include <alias.h>\r\n", "<alias.h>"},
        IncludeCase{"PlainLineIsTheName", "\r\nIDH_A=a.htm\r\nIDH_B=b.htm\r\n", "IDH_A=a.htm"},
        IncludeCase{"IncludeInsideLine", "\r\n; #include x.h\r\n", "x.h"},
        IncludeCase{"BracketEndsUntrimmed", "\r\n  abc[MAP]\r\n", "  abc"},
        IncludeCase{"EmptySection", "\r\n[MAP]\r\n#include map.h\r\n", ""},
        IncludeCase{"EndOfBufferUntrimmed", "\r\n  #include a.h ", "  #include a.h "}),
    [](const auto& info) { return std::string(info.param.name); });

// An [ALIAS] or [MAP] section that holds the aliases or #defines themselves names no file: the
// build must not take its first line for one.
TEST(IncludedFileNameTest, InlineDefinitionsNameNoFile) {
    struct Case {
        std::string section;
        std::string file;
    };
    const Case cases[] = {
        {"\r\n#include alias.h\r\n", "alias.h"},
        {"\n  #include  alias.h \n", "alias.h"},
        {"\r\nalias.h\r\n", "alias.h"},
        {"\r\nIDH_22_PULLDOWN=22Pulldown.htm\r\nIDH_B=b.htm\r\n", ""},
        {"\r\n#define IDH_A 1\r\n", ""},
        {"\r\nHIDR_MAINFRAME\t\t\t= main_index.htm\r\n", ""},
        {"\r\n#include a=b.h\r\n", "a=b.h"},
        {"\r\n\r\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        const THhpScanResult alias = THhpScanner::ScanBytes("[ALIAS]" + c.section + "[X]\r\n");
        EXPECT_EQ(alias.AliasFile, c.file);
        const THhpScanResult map = THhpScanner::ScanBytes("[MAP]" + c.section + "[X]\r\n");
        EXPECT_EQ(map.MapFile, c.file);
    }
    // The caption still shows what the section holds.
    EXPECT_EQ(THhpScanner::ScanBytes("[ALIAS]\r\nIDH_A=a.htm\r\n").AliasCaption, " IDH_A=a.htm");
}

TEST(ReadFilesTest, TrimsSkipsEmptyLinesAndMeasuresLongest) {
    int longest = -1;
    EXPECT_EQ(THhpScanner::ReadFiles("[FILES]\r\n  a.htm \t\r\n\r\nb.htm\r\n", longest),
              (Strings{"a.htm", "b.htm"}));
    EXPECT_EQ(longest, 5);
}

TEST(ReadFilesTest, PendingLineIsDropped) {
    int longest = -1;
    EXPECT_EQ(THhpScanner::ReadFiles("[FILES]\r\na.htm\r\nlast.htm", longest), Strings{"a.htm"});
    EXPECT_EQ(longest, 5);
    // A "[" anywhere ends the section; the partial line and everything after it are lost.
    EXPECT_EQ(THhpScanner::ReadFiles("[FILES]\r\na.htm\r\nsub[1].htm\r\nc.htm\r\n", longest),
              Strings{"a.htm"});
}

TEST(ReadFilesTest, MissingSectionGivesZero) {
    int longest = 7;
    EXPECT_TRUE(THhpScanner::ReadFiles("[OPTIONS]\r\n", longest).empty());
    EXPECT_EQ(longest, 0);
}

TEST(ReadFilesTest, AnyControlCharacterEndsALine) {
    int longest = 0;
    EXPECT_EQ(THhpScanner::ReadFiles("[FILES]\na.htm\rb.htm\x01"
                                     "c\xE9.htm\n",
                                     longest),
              (Strings{"a.htm", "b.htm", "c\xE9.htm"}));
}

struct WindowsCase {
    const char* name;
    std::string section;
    Strings names;
};

class ReadWindowsTest : public ::testing::TestWithParam<WindowsCase> {};

TEST_P(ReadWindowsTest, Names) {
    EXPECT_EQ(THhpScanner::ReadWindows("[WINDOWS]" + GetParam().section), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadWindowsTest,
    ::testing::Values(
        WindowsCase{"EqualsAndSpace",
                    "\r\nmain=\"Help\",\"a.hhc\",,,,\r\nsecond = \"x\",,,\r\n",
                    {"main", "second"}},
        WindowsCase{"LineWithoutEqualsJoinsNext", "\r\nabc\r\ndef=\"x\"\r\n", {"abcdef"}},
        WindowsCase{"BracketInDefinitionIsSkipped",
                    "\r\nmain=\"x\",[0,0,800,600],,\r\nnext=\"y\"\r\n",
                    {"main", "next"}},
        WindowsCase{"BracketStartsNextSection", "\r\nmain=\"x\"\r\n[FILES]\r\na=b\r\n", {"main"}},
        WindowsCase{"PendingNameDropped", "\r\nmain=\"x\"\r\nlast", {"main"}},
        WindowsCase{"Empty", "\r\n\r\n", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SortTopicListTest, WordOrderWithEqualEntriesInFileOrder) {
    Strings files = {"b.htm", "A.htm", "a.htm", "C.htm", "A.HTM", "\xE9t\xE9.htm", "e.htm"};
    THhpScanner::SortTopicList(files);
    EXPECT_EQ(files,
              (Strings{"A.htm", "a.htm", "A.HTM", "b.htm", "C.htm", "e.htm", "\xE9t\xE9.htm"}));
}

TEST(ScanBytesTest, WholeProject) {
    const std::string project =
        "[OPTIONS]\r\nCompiled file=Garden.chm\r\nIndex file=Garden.hhk\r\n\r\n"
        "[WINDOWS]\r\nmain=\"Garden\",\"Garden.hhc\",,,,\r\npopup=\"Tips\",,,\r\n\r\n"
        "[FILES]\r\nplants\\Roses.htm\r\nIndex.htm\r\nplants\\apples.htm\r\n\r\n"
        "[ALIAS]\r\n#include alias.h\r\n\r\n[MAP]\r\n#include map.h\r\n\r\n[INFOTYPES]\r\n";
    const THhpScanResult result = THhpScanner::ScanBytes(project);
    EXPECT_TRUE(result.ProjectRead);
    EXPECT_EQ(result.IndexCaption, " Garden.hhk");
    EXPECT_EQ(result.AliasCaption, " alias.h");
    EXPECT_EQ(result.MapCaption, " map.h");
    EXPECT_EQ(result.WindowNames, (Strings{"main", "popup"}));
    EXPECT_EQ(result.Files, (Strings{"Index.htm", "plants\\apples.htm", "plants\\Roses.htm"}));
    EXPECT_EQ(result.MaxNameLength, 17);
}

TEST(ScanBytesTest, MissingPartsKeepTheirEmptyEncodings) {
    const THhpScanResult result = THhpScanner::ScanBytes("[OPTIONS]\r\nTitle=x\r\n");
    EXPECT_EQ(result.IndexCaption, " ");
    EXPECT_EQ(result.AliasCaption, "");
    EXPECT_EQ(result.MapCaption, "");
    EXPECT_TRUE(result.WindowNames.empty());
    EXPECT_TRUE(result.Files.empty());
    EXPECT_EQ(result.MaxNameLength, 0);
}

// The code page from the "Language" option: full locale IDs before primary languages, the key
// found like the index key, anything unreadable the default.
struct CodePageCase {
    const char* Options;
    int CodePage;
};
class CodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageTest, FromTheLanguageOption) {
    const std::string project = std::string("[OPTIONS]\r\n") + GetParam().Options + "[FILES]\r\n";
    EXPECT_EQ(THhpScanner::ScanBytes(project).CodePage, GetParam().CodePage) << GetParam().Options;
}

INSTANTIATE_TEST_SUITE_P(
    Locales, CodePageTest,
    ::testing::Values(
        CodePageCase{"", 1252}, CodePageCase{"Language=0x407 German (Germany)\r\n", 1252},
        CodePageCase{"Language=0x419 \xD0\xF3\xF1\r\n", 1251},
        CodePageCase{"Language=0x411\n", 932}, CodePageCase{"Language=0x0804\r\n", 936},
        CodePageCase{"Language=0X404\r\n", 950},   // a full ID before its language
        CodePageCase{"Language=0x81a\r\n", 1250},  // Serbian in Latin letters
        CodePageCase{"Language=0xC1A\r\n", 1251},  // ... and in Cyrillic
        CodePageCase{"language = 415\r\n", 1250}, CodePageCase{"Language=German\r\n", 1252},
        CodePageCase{"Language=0x\r\n", 1252},
        CodePageCase{"Language=0x100000419\r\n", 1252},  // no locale ID is this long
        CodePageCase{"Language=0x4ff\r\n", 1252}));

class ScanFileTest : public ::testing::Test {
protected:
    THhpScanResult Previous() const {
        THhpScanResult previous;
        previous.WindowNames = {"old"};
        previous.MaxNameLength = 42;
        previous.Files = {"old.htm"};
        previous.IndexCaption = " old.hhk";
        return previous;
    }
    testing::TempFolder folder_;
};

TEST_F(ScanFileTest, ReadsTheFile) {
    const std::string path = folder_.Write("p.hhp", "[WINDOWS]\r\nw=\"x\"\r\n[FILES]\r\na.htm\r\n");
    const THhpScanResult result = THhpScanner().Scan(path, Previous());
    EXPECT_TRUE(result.ProjectRead);
    EXPECT_EQ(result.Files, Strings{"a.htm"});
    EXPECT_EQ(result.WindowNames, Strings{"w"});
    EXPECT_EQ(result.MaxNameLength, 5);
}

TEST_F(ScanFileTest, ProjectWithoutWindowsClearsThePreviousNames) {
    const std::string path = folder_.Write("p.hhp", "[FILES]\r\na.htm\r\n");
    EXPECT_TRUE(THhpScanner().Scan(path, Previous()).WindowNames.empty());
}

TEST_F(ScanFileTest, MissingFileKeepsWindowsAndLongestNameOnly) {
    const THhpScanResult result = THhpScanner().Scan(folder_.File("none.hhp"), Previous());
    EXPECT_FALSE(result.ProjectRead);
    EXPECT_TRUE(result.ReadError.empty());
    EXPECT_EQ(result.WindowNames, Strings{"old"});
    EXPECT_EQ(result.MaxNameLength, 42);
    EXPECT_TRUE(result.Files.empty());
    EXPECT_EQ(result.IndexCaption, "");
    EXPECT_EQ(result.AliasCaption, "");
}

// Whatever the user points at, the scan ends at once with the reason: a pipe is never waited on,
// a device or a huge file never read into memory.
TEST_F(ScanFileTest, OnlyRegularFilesOfSaneSizeAreRead) {
    const std::string fifo = folder_.File("pipe.hhp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = folder_.File("zero.hhp");
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    const std::string huge = folder_.Write("huge.hhp", "[FILES]\r\n");
    ASSERT_EQ(::truncate(huge.c_str(), (64 << 20) + 1), 0);
    const std::pair<std::string, std::string> cases[] = {
        {folder_.Path().string(), "Is a directory"},
        {fifo, "named pipe"},
        {zero, "device"},
        {huge, "larger than 64 MiB, too large for a project file"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        const THhpScanResult result = THhpScanner().Scan(path, Previous());
        EXPECT_FALSE(result.ProjectRead);
        EXPECT_NE(result.ReadError.find(reason), std::string::npos) << result.ReadError;
        EXPECT_EQ(result.WindowNames, Strings{"old"});
    }
}

TEST_F(ScanFileTest, UnreadableFileIsClearedWithoutThrowing) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads any file";
    }
    const std::string path = folder_.Write("p.hhp", "[FILES]\r\na.htm\r\n");
    ::chmod(path.c_str(), 0);
    const THhpScanResult result = THhpScanner().Scan(path, Previous());
    EXPECT_FALSE(result.ProjectRead);
    EXPECT_FALSE(result.ReadError.empty());
    EXPECT_TRUE(result.Files.empty());
    EXPECT_EQ(result.MaxNameLength, 42);
}

}  // namespace
}  // namespace tarnwick
