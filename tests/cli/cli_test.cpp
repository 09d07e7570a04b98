// tarnwick-cli as scripts use it: the built program run on small projects, the example project
// and the real projects of the corpus, checking output, files written and exit statuses.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "common/temp_folder.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Single quotes for the shell.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

Strings Lines(const std::string& text, const std::string& end) {
    Strings lines;
    size_t start = 0;
    for (size_t at = text.find(end); at != std::string::npos; at = text.find(end, start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + end.size();
    }
    EXPECT_EQ(start, text.size()) << "text does not end with a line end";
    return lines;
}

class CliTest : public ::testing::Test {
protected:
    // Runs the program with a data folder of the test's own, so that the user's lists on this
    // machine play no part.
    // `out` names where standard output goes; by default a file the run's text is read from.
    CliRun Run(const Strings& args, const std::string& out = {}) {
        std::string command = env_ + "XDG_DATA_HOME=" + Quoted(data_.Path().string()) + " " +
                              Quoted(std::string(TARNWICK_OUTPUT_DIR) + "/tarnwick-cli");
        for (const std::string& arg : args) {
            command += " " + Quoted(arg);
        }
        const std::string outFile = out.empty() ? scratch_.File("out") : out;
        const std::string errFile = scratch_.File("err");
        command += " >" + Quoted(outFile) + " 2>" + Quoted(errFile) + " </dev/null";
        CliRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = out.empty() ? testing::Slurp(outFile) : std::string();
        run.err = testing::Slurp(errFile);
        return run;
    }

    Strings WordsIn(const std::string& file) { return Lines(testing::Slurp(file), "\r\n"); }

    static std::string Example() {
        return std::string(TARNWICK_SOURCE_DIR) + "/examples/garden/Garden.hhp";
    }

    testing::TempFolder project_;
    testing::TempFolder data_;
    testing::TempFolder scratch_;
    // Variable assignments put before the command ("NAME=value "); none by default.
    std::string env_;
};

TEST_F(CliTest, ScanPrintsWhatTheProjectNames) {
    const std::string hhp = project_.Write(
        "p.hhp",
        "[OPTIONS]\r\nIndex file= Help Index.hhk \r\n[WINDOWS]\r\nmain=\"x\",,\r\ntip=\"y\"\r\n"
        "[FILES]\r\nb.htm\r\nA\\\xC4.htm\r\n\r\n[ALIAS]\r\n#include alias.h\r\n[OPTIONS]\r\n");
    const CliRun run = Run({"--scan", hhp});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "Index file: Help Index.hhk\nAlias file: alias.h\nMap file: \nCode page: 1252\n"
              "Longest topic name: 7\nWindow: main\nWindow: tip\n"
              "Topic: A\\\xC4.htm\nTopic: b.htm\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CliTest, OutputThatCannotBeWrittenIsAFailure) {
    const CliRun scan = Run({"--scan", Example()}, "/dev/full");
    EXPECT_EQ(scan.status, 2);
    EXPECT_EQ(scan.err.rfind("tarnwick-cli: standard output could not be written", 0), 0u)
        << scan.err;
    EXPECT_EQ(Run({"--help"}, "/dev/full").status, 2);
}

TEST_F(CliTest, ScanOfTheExampleProject) {
    const CliRun run = Run({"--scan", Example()});
    ASSERT_EQ(run.status, 0) << run.err;
    const Strings lines = Lines(run.out, "\n");
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(Strings(lines.begin(), lines.begin() + 8),
              (Strings{"Index file: Garden.hhk", "Alias file: Garden_alias.h",
                       "Map file: Garden_map.h", "Code page: 1252", "Longest topic name: 26",
                       "Window: main", "Window: popup", "Topic: html\\getting_started.htm"}));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Topic: html\\Plants\\Roses.htm"), lines.end());
    EXPECT_EQ(lines.size(), 7u + 14u);
}

TEST_F(CliTest, WordsOfTheExampleProject) {
    for (const bool asciiLetters : {false, true}) {
        const std::string words = scratch_.File("words.txt");
        Strings args = {"-b", "-t", "-k", "-d", "--no-index", "--words", words, Example()};
        if (asciiLetters) {
            args.insert(args.begin(), "--ascii-letters");
        }
        const CliRun run = Run(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const Strings list = WordsIn(words);
        EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), WordLess()));
        auto has = [&list](const std::string& word) {
            return std::find(list.begin(), list.end(), word) != list.end();
        };
        // The roses page is listed in other letter case than its file.
        EXPECT_TRUE(has("Jacqueminot"));
        // Style and script contents are not words; the default list drops "the"; digits drop.
        for (const char* absent :
             {"font-family", "color", "function", "window.status", "the", "The", "2026", "7b"}) {
            EXPECT_FALSE(has(absent)) << absent;
        }
        // Accented letters, written as bytes or as references, are letters; the ASCII rule
        // trims them and breaks words at the references.
        EXPECT_EQ(has("caf\xE9"), !asciiLetters);
        EXPECT_EQ(has("d\xE9"
                      "bris"),
                  !asciiLetters);
        EXPECT_EQ(has("caf"), asciiLetters);
        EXPECT_EQ(has("bris"), asciiLetters);
    }
}

// The Russian example: Windows-1251 words from pages in Windows-1251, UTF-8 and KOI8-R.
TEST_F(CliTest, WordsOfTheRussianExample) {
    const std::string words = scratch_.File("words.txt");
    const CliRun run = Run({"-b", "-t", "-k", "-d", "--no-index", "--words", words,
                            std::string(TARNWICK_SOURCE_DIR) + "/examples/garden-ru/Sad.hhp"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Strings list = WordsIn(words);
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), WordLess{&WordCollator::For(1251)}));
    auto has = [&list](const std::string& word) {
        return std::find(list.begin(), list.end(), word) != list.end();
    };
    for (const char* present : {
             "\xD0\xEE\xE7\xFB",                   // Розы
             "\xCE\xE1\xF0\xE5\xE7\xEA\xF3",       // Обрезку
             "\xD1\xEE\xF0\xF2",                   // Сорт, its first letter a reference
             "\xEF\xEB\xE0\xED \xF1\xE0\xE4\xE0",  // план сада, a keyword
             "caf",                                // é has no place in Windows-1251
             "\xA8\xEC\xEA\xEE\xF1\xF2\xFC",       // Ёмкость, UTF-8 with a byte-order mark
             "\xCA\xE8\xF1\xEB\xEE\xF2\xED\xEE\xF1\xF2\xFC",  // Кислотность, UTF-8 by its meta
             "\xC7\xED\xE0\xEA",  // Знак, before a check mark that becomes a space
             "\xCA\xE0\xEB\xE5\xED\xE4\xE0\xF0\xFC",  // Календарь, KOI8-R
             "\xEC\xEE\xF0\xEA\xEE\xE2\xE8",          // моркови, KOI8-R
         }) {
        EXPECT_TRUE(has(present)) << present;
    }
    // No UTF-8 Cyrillic is left: a lead byte 0xD0 or 0xD1 ("Р", "С") before a byte 0x80-0xBF.
    for (const std::string& word : list) {
        for (size_t i = 0; i + 1 < word.size(); ++i) {
            const auto lead = static_cast<unsigned char>(word[i]);
            const auto next = static_cast<unsigned char>(word[i + 1]);
            EXPECT_FALSE((lead == 0xD0 || lead == 0xD1) && next >= 0x80 && next <= 0xBF) << word;
        }
    }
}

// Shares are taken of the pages (the picture entry does not count), a word in other letter case
// is one word, and a word in exactly the share stays.
TEST_F(CliTest, MaxShareAndTopicCounts) {
    project_.Write("a.htm", "<p>Common half rare</p>");
    project_.Write("b.htm", "<p>COMMON half</p>");
    project_.Write("c.htm", "<p>common</p>");
    project_.Write("d.htm", "<p>other</p>");
    const std::string hhp = project_.Write(
        "p.hhp",
        "[OPTIONS]\r\nIndex file=p.hhk\r\n[FILES]\r\na.htm\r\nb.htm\r\nc.htm\r\nd.htm\r\n"
        "pic.png\r\n");
    const std::string counts = scratch_.File("counts.txt");
    const std::string words = scratch_.File("words.txt");
    struct Case {
        const char* share;
        Strings counts;
    };
    for (const Case& c :
         {Case{"100", {"Common\t3", "half\t2", "other\t1", "rare\t1"}},
          Case{"70", {"half\t2", "other\t1", "rare\t1"}},
          Case{"50", {"half\t2", "other\t1", "rare\t1"}}, Case{"49", {"other\t1", "rare\t1"}}}) {
        const CliRun run = Run({"--no-default-exclude", "--max-share", c.share, "--counts", counts,
                                "--words", words, hhp});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(WordsIn(counts), c.counts) << c.share;
        EXPECT_EQ(WordsIn(words).size(), c.counts.size()) << c.share;
        // The index holds what the lists hold.
        EXPECT_EQ(testing::Slurp(project_.Path() / "p.hhk").find("Common") != std::string::npos,
                  c.counts.size() == 4)
            << c.share;
    }
    EXPECT_EQ(Run({"--max-share", "0", hhp}).status, 2);
}

TEST_F(CliTest, MissingTopicIsReportedAndTheOthersParsed) {
    project_.Write("a.htm", "<p>alpha</p>");
    project_.Write("c.htm", "<p>gamma</p>");
    const std::string hhp =
        project_.Write("p.hhp", "[FILES]\r\na.htm\r\nsub\\gone.htm\r\nc.htm\r\n\r\n[MAP]\r\n");
    const std::string words = scratch_.File("words.txt");
    const CliRun run = Run({"--no-index", "--words", words, hhp});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Could not open file\n" + project_.Folder() + "sub/gone.htm\n");
    EXPECT_EQ(WordsIn(words), (Strings{"alpha", "gamma"}));
}

TEST_F(CliTest, EntriesInOtherLetterCaseAreFound) {
    project_.Write("Pages/Intro.HTM", "<title>Welcome</title><p>Hello</p>");
    const std::string hhp = project_.Write("p.hhp", "[FILES]\r\npages\\intro.htm\r\n\r\n[X]\r\n");
    const std::string words = scratch_.File("words.txt");
    const CliRun run = Run({"--no-index", "--words", words, hhp});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(WordsIn(words), (Strings{"Hello", "Welcome"}));
}

TEST_F(CliTest, PagePartsAndFilters) {
    project_.Write("a.htm",
                   "<title>Heading</title><param name=\"keyword\" value=\"Big Topic\">"
                   "<p>the Win95 body</p>");
    const std::string hhp = project_.Write("p.hhp", "[FILES]\r\na.htm\r\n\r\n[X]\r\n");
    const std::string words = scratch_.File("words.txt");
    ASSERT_EQ(Run({"-t", "--no-index", "--words", words, hhp}).status, 0);
    EXPECT_EQ(WordsIn(words), Strings{"Heading"});
    ASSERT_EQ(Run({"-k", "--no-index", "--words", words, hhp}).status, 0);
    EXPECT_EQ(WordsIn(words), Strings{"Big Topic"});
    // No part given means the body; the installed default list holds "the".
    ASSERT_EQ(Run({"--no-index", "--words", words, hhp}).status, 0);
    EXPECT_EQ(WordsIn(words), (Strings{"body", "Heading"}));
    ASSERT_EQ(
        Run({"--keep-numbers", "--no-default-exclude", "--no-index", "--words", words, hhp}).status,
        0);
    EXPECT_EQ(WordsIn(words), (Strings{"body", "Heading", "the", "Win95"}));
}

TEST_F(CliTest, ExcludeListsFromEveryPlace) {
    project_.Write("a.htm", "<p>apple pear plum the</p>");
    const std::string hhp = project_.Write("p.hhp", "[FILES]\r\na.htm\r\n\r\n[X]\r\n");
    const std::string words = scratch_.File("words.txt");
    // The user's default list wins over the installed copy.
    std::filesystem::create_directories(data_.Path() / "Tarnwick/Exclude_List");
    data_.Write("Tarnwick/Exclude_List/Default_Exclude_List.txt", "APPLE\r\n");
    ASSERT_EQ(Run({"--no-index", "--words", words, hhp}).status, 0);
    EXPECT_EQ(WordsIn(words), (Strings{"pear", "plum", "the"}));
    // --default-list replaces it; --exclude-list adds a secondary list.
    const std::string mine = project_.Write("mine.txt", "pear\n");
    const std::string second = project_.Write("second.txt", "plum");
    ASSERT_EQ(
        Run({"--default-list", mine, "--exclude-list", second, "--no-index", "--words", words, hhp})
            .status,
        0);
    EXPECT_EQ(WordsIn(words), (Strings{"apple", "the"}));
}

TEST_F(CliTest, FailuresWriteNothing) {
    project_.Write("a.htm", "<p>word</p>");
    const std::string hhp = project_.Write("p.hhp", "[FILES]\r\na.htm\r\n\r\n[X]\r\n");
    const std::string words = scratch_.File("words.txt");
    const std::string missingList = project_.File("none.txt");

    // A default list that cannot be read, even one the options would not consult.
    for (const Strings& args :
         {Strings{"--default-list", missingList, "--no-index", "--words", words, hhp},
          Strings{"--no-default-exclude", "--default-list", missingList, "--no-index", "--words",
                  words, hhp}}) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(missingList), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(words));
    }
    // A project that cannot be read.
    CliRun run = Run({"--no-index", "--words", words, project_.File("none.hhp")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("none.hhp"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(words));
    run = Run({"--scan", project_.File("none.hhp")});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
}

// Every word excluded, or no topics at all: nothing is written over the previous index and word
// file, and the run says so and fails, so that a build script does not take them for this run's.
TEST_F(CliTest, NoWordsWritesNothingAndFails) {
    project_.Write("a.htm", "<p>the</p>");
    const std::string index = project_.Write("p.hhk", "previous index");
    const std::string words = scratch_.File("words.txt");
    for (const char* files : {"[FILES]\r\na.htm\r\n\r\n[X]\r\n", "\r\n"}) {
        const std::string hhp =
            project_.Write("p.hhp", std::string("[OPTIONS]\nIndex file=p.hhk\n") + files);
        const CliRun run = Run({"--words", words, hhp});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("No words to index: the index was not written.\n\"p.hhk\" is left "
                               "as it was."),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("No words to export: " + words + " was not written."),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(testing::Slurp(index), "previous index");
        EXPECT_FALSE(std::filesystem::exists(words));
    }
}

TEST_F(CliTest, UsageErrors) {
    const std::string hhp = project_.Write("p.hhp", "[FILES]\r\n");
    for (const Strings& args :
         {Strings{}, Strings{"--bogus", hhp}, Strings{hhp, "second.hhp"}, Strings{"--words"},
          Strings{"--exclude-list", project_.File("none.txt"), hhp}}) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.err, "") << ::testing::PrintToString(args);
    }
}

TEST_F(CliTest, HelpAndVersion) {
    CliRun run = Run({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--body", "--title", "--keywords", "--description", "--keep-numbers",
                               "--no-default-exclude", "--default-list", "--exclude-list", "--scan",
                               "--words", "--quiet"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
    run = Run({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "2.0.0.29\n");
}

// The real projects parse without a crash and give words a reader of their pages expects.
struct CorpusCase {
    const char* project;
    Strings expected;
};

class CorpusTest : public CliTest, public ::testing::WithParamInterface<CorpusCase> {};

TEST_P(CorpusTest, ParsesEveryPage) {
    const std::string hhp = std::string(TARNWICK_CORPUS_DIR) + "/" + GetParam().project;
    if (!std::filesystem::exists(hhp)) {
        FAIL() << "no corpus at " << TARNWICK_CORPUS_DIR;
    }
    const std::string words = scratch_.File("words.txt");
    const CliRun run = Run({"-b", "-t", "-k", "-d", "--no-index", "--words", words, hhp});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const Strings list = WordsIn(words);
    EXPECT_GT(list.size(), 500u);
    for (const std::string& word : GetParam().expected) {
        EXPECT_TRUE(std::any_of(list.begin(), list.end(), [&word](const std::string& w) {
            return SameWord(w, word);
        })) << word;
    }
    for (const std::string& word : list) {
        EXPECT_EQ(word.find_first_of("\r\n<>"), std::string::npos) << word;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, CorpusTest,
    ::testing::Values(CorpusCase{"dscaler/DScaler.hhp", {"Deinterlacing", "Teletext"}},
                      CorpusCase{"famitracker/FamiTracker.hhp", {"instrument", "Sunsoft"}},
                      CorpusCase{"kafe-sphinx/kafedoc.hhp", {"fit", "Minimizer"}},
                      CorpusCase{"mwsnap/MWSnap.hhp", {"snapping", "hotkey"}},
                      CorpusCase{"serialem/SerialEM.hhp", {"Navigator", "montage"}}),
    [](const auto& info) {
        std::string name = info.param.project;
        return name.substr(0, name.find_first_of("-/"));
    });

// Every real project gets its index, whether its project file ends its lines in CR LF or in LF,
// and a build writes nothing but the index, the header and the backups of what they replaced:
// an [ALIAS] section that holds its aliases inline names no file.
TEST_F(CliTest, EveryCorpusProjectGetsItsIndexAndNothingElse) {
    struct Case {
        const char* project;
        const char* index;
        const char* header;  // empty: the project names none
    };
    const Case cases[] = {
        {"dscaler/DScaler.hhp", "Index.hhk", "helpids.h"},
        {"famitracker/FamiTracker.hhp", "FamiTracker.hhk", "HTMLDefines.h"},
        {"kafe-sphinx/kafedoc.hhp", "kafedoc.hhk", ""},
        {"mwsnap/MWSnap.hhp", "index.hhk", ""},
        {"pwsafe-ru/pwsafe.hhp", "pwsafeRU.hhk", ""},
        {"sakura-ja/sakura.hhp", "sakura.hhk", "sakura.hh"},
        {"serialem/SerialEM.hhp", "SerialEM.hhk", "HTMLDefines.h"},
        {"tinycad/TinyCAD.hhp", "TinyCAD.hhk", "HTMLDefines.h"},
    };
    namespace fs = std::filesystem;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.project);
        const fs::path original = fs::path(TARNWICK_CORPUS_DIR) / c.project;
        if (!fs::exists(original)) {
            FAIL() << "no corpus at " << TARNWICK_CORPUS_DIR;
        }
        // A copy: the corpus itself is never written.
        const fs::path copy = scratch_.Path() / original.parent_path().filename();
        fs::copy(original.parent_path(), copy, fs::copy_options::recursive);
        std::set<std::string> before;
        for (const auto& entry : fs::directory_iterator(copy)) {
            before.insert(entry.path().filename().string());
        }
        const fs::path hhp = copy / original.filename();
        const CliRun run = Run({"--map", "alias", hhp.string()});
        EXPECT_NE(run.status, 2) << run.err;
        EXPECT_TRUE(fs::exists(copy / c.index)) << run.err;
        std::set<std::string> allowed = {c.index, std::string(c.index) + ".bak"};
        if (*c.header != 0) {
            allowed.insert({c.header, std::string(c.header) + ".bak"});
        }
        for (const auto& entry : fs::directory_iterator(copy)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(before.count(name) != 0 || allowed.count(name) != 0) << name;
        }
    }
}

// --- Builds: without --scan the program parses and then builds, as Parse HTML followed by
// Build All would in the main window.

TEST_F(CliTest, BuildWritesTheIndexAndTheMapFilesAsAsked) {
    project_.Write("a.htm", "<title>Alpha</title><p>alpha shared</p>");
    project_.Write("b.htm", "<p>beta shared</p>");
    const std::string hhp =
        project_.Write("p.hhp",
                       "[OPTIONS]\r\nIndex file=Help.txt\r\n[FILES]\r\nb.htm\r\na.htm\r\n\r\n"
                       "[ALIAS]\r\n#include p_alias.h\r\n[MAP]\r\n#include p_map.h\r\n[X]\r\n");
    CliRun run = Run({"--map", "alias", "--window", "main", "--initial-id", "41", hhp});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string index = testing::Slurp(project_.File("Help.hhk"));  // always .hhk
    const size_t shared = index.find("value=\"shared\"");
    ASSERT_NE(shared, std::string::npos);
    // One block per word and topic, topics in topic-list order.
    const size_t firstTopic = index.find("value=\"a.htm\"", shared);
    const size_t secondTopic = index.find("value=\"b.htm\"", shared);
    EXPECT_LT(firstTopic, secondTopic);
    EXPECT_NE(testing::Slurp(project_.File("p_alias.h")).find("IDH_A  = a.htm\r\n"),
              std::string::npos);
    const std::string header = testing::Slurp(project_.File("p_map.h"));
    EXPECT_NE(header.find("#define IDH_A  41\r\n#define IDH_B  42\r\n"), std::string::npos)
        << header;
    EXPECT_NE(header.find("//#define HH_PSZ_FILE \"p.chm>main\""), std::string::npos);

    // --no-index leaves the index alone; header mode writes the topic-path header only.
    std::filesystem::remove(project_.File("Help.hhk"));
    std::filesystem::remove(project_.File("p_alias.h"));
    run = Run({"--no-index", "--map", "header", hhp});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(std::filesystem::exists(project_.File("Help.hhk")));
    EXPECT_FALSE(std::filesystem::exists(project_.File("p_alias.h")));
    EXPECT_NE(testing::Slurp(project_.File("p_map.h")).find("\"p.chm::/a.htm\""),
              std::string::npos);
}

TEST_F(CliTest, BuildProblemsGoToStderrWithStatusOne) {
    project_.Write("a.htm", "<p>alpha</p>");
    // No [ALIAS] section and an index folder that does not exist.
    const std::string hhp = project_.Write(
        "p.hhp",
        "[OPTIONS]\r\nIndex file=missing\\Help.hhk\r\n[FILES]\r\na.htm\r\n\r\n[MAP]\r\n"
        "#include p_map.h\r\n[X]\r\n");
    const CliRun run = Run({"--map", "alias", hhp});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("The alias file name was not found."), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("A problem occured: "), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::exists(project_.File("p_map.h")));

    const CliRun bad = Run({"--map", "both", hhp});
    EXPECT_EQ(bad.status, 2);
    const CliRun negative = Run({"--initial-id", "-3", hhp});
    EXPECT_EQ(negative.status, 2);
}

// A real consumer of our files: projects built and compiled with --compile, whose compiled index
// must hold every word/topic pair we wrote, and whose folder must hold nothing new but what the
// build and the compile write. The staging folder goes to a temporary folder of the test's own,
// which must be empty afterwards.
class CompileTest : public CliTest {
protected:
    static bool HaveChmcmd() { return std::system("command -v chmcmd >/dev/null 2>&1") == 0; }

    CompileTest() { env_ = "TMPDIR=" + Quoted(tmp_.Path().string()) + " "; }

    // (word, topic) pairs of a sitemap index: each entry's first "Name" is its keyword (chmls
    // adds a topic title after it) and each "Local" a topic, each value running to the end of
    // its line and "&quot;", "&lt;" and "&gt;" read as what they stand for. chmls writes a
    // character of a single-byte code page back as "?", and those of a double-byte one in no
    // steady way: with `asciiWords` only words in ASCII are taken. Topics are compared with "/"
    // and in lower case (chmcmd stores them as the files are spelled).
    static std::vector<std::pair<std::string, std::string>> Pairs(const std::string& hhk,
                                                                  bool asciiWords = false) {
        std::vector<std::pair<std::string, std::string>> pairs;
        auto value = [&hhk](size_t at) {
            const size_t start = hhk.find("value=\"", at) + 7;
            std::string text = hhk.substr(start, hhk.find("\">", start) - start);
            for (const auto& [entity, c] : {std::pair<std::string, std::string>{"&quot;", "\""},
                                            {"&lt;", "<"},
                                            {"&gt;", ">"}}) {
                for (size_t at = text.find(entity); at != std::string::npos;
                     at = text.find(entity, at + 1)) {
                    text.replace(at, entity.size(), c);
                }
            }
            return text;
        };
        const std::string open = "<OBJECT type=\"text/sitemap\">";
        for (size_t block = hhk.find(open); block != std::string::npos;
             block = hhk.find(open, block + 1)) {
            const size_t blockEnd = hhk.find("</OBJECT>", block);
            std::string word = value(hhk.find("<param name=\"Name\"", block));
            const bool ascii = std::all_of(word.begin(), word.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x80 && c != '?';
            });
            if (asciiWords && !ascii) {
                continue;
            }
            for (char& c : word) {
                if (static_cast<unsigned char>(c) >= 0x80)
                    c = '?';
            }
            for (size_t local = hhk.find("<param name=\"Local\"", block); local < blockEnd;
                 local = hhk.find("<param name=\"Local\"", local + 1)) {
                std::string topic = value(local);
                for (char& c : topic) {
                    c = c == '\\' ? '/'
                                  : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
                pairs.emplace_back(word, topic);
            }
        }
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
        return pairs;
    }

    // The names in a folder and its subfolders, relative to it.
    static std::set<std::string> Contents(const std::filesystem::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            names.insert(std::filesystem::relative(entry.path(), folder).string());
        }
        return names;
    }

    testing::TempFolder tmp_;
};

struct CompileCase {
    const char* Name;
    const char* Source;  // a corpus project, or "examples/..." in the source tree
    const char* Chm;
    const char* Index;  // the index the build writes
    Strings Args;       // before the project
    Strings Written;    // what the build writes beside the index (which may be new)
    size_t MinPairs;
    bool AsciiWords = false;  // a double-byte code page: see Pairs
};

// The case's name alone in the test's name and messages.
void PrintTo(const CompileCase& c, std::ostream* out) {
    *out << c.Name;
}

class CorpusCompileTest : public CompileTest, public ::testing::WithParamInterface<CompileCase> {};

TEST_P(CorpusCompileTest, CompiledHelpHoldsEveryIndexPairAndTheFolderOnlyTheNewFiles) {
    if (!HaveChmcmd()) {
        GTEST_SKIP() << "chmcmd (fp-utils) is not installed";
    }
    namespace fs = std::filesystem;
    const CompileCase& c = GetParam();
    const std::string source = c.Source;
    const fs::path original = source.rfind("examples/", 0) == 0
                                  ? fs::path(TARNWICK_SOURCE_DIR) / source
                                  : fs::path(TARNWICK_CORPUS_DIR) / source;
    if (!fs::exists(original)) {
        FAIL() << "no project at " << original;
    }
    // A copy: the corpus itself is never written.
    const fs::path folder = project_.Path() / original.parent_path().filename();
    fs::copy(original.parent_path(), folder, fs::copy_options::recursive);
    const std::set<std::string> before = Contents(folder);
    const fs::path hhp = folder / original.filename();
    const std::string index = c.Index;

    Strings args = c.Args;
    args.push_back("--compile");
    args.push_back(hhp.string());
    const CliRun run = Run(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Compiled " + std::string(c.Chm) + ": 0 errors"), std::string::npos)
        << run.err;
    EXPECT_TRUE(fs::is_empty(tmp_.Path())) << "a staging folder was left";

    std::set<std::string> allowed = {c.Chm, index, index + ".bak"};
    for (const std::string& name : c.Written) {
        EXPECT_TRUE(fs::exists(folder / name)) << name;
        allowed.insert({name, name + ".bak"});
    }
    for (const std::string& name : Contents(folder)) {
        EXPECT_TRUE(before.count(name) != 0 || allowed.count(name) != 0) << name;
    }

    const std::string back = scratch_.File("back.hhk");
    const std::string command = "chmls extractindex " + Quoted((folder / c.Chm).string()) + " " +
                                Quoted(back) + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto written = Pairs(testing::Slurp(folder / index), c.AsciiWords);
    const auto read = Pairs(testing::Slurp(back), c.AsciiWords);
    ASSERT_GT(written.size(), c.MinPairs);
    std::vector<std::pair<std::string, std::string>> missing;
    std::set_difference(written.begin(), written.end(), read.begin(), read.end(),
                        std::back_inserter(missing));
    EXPECT_TRUE(missing.empty()) << missing.size()
                                 << " pairs missing, first: " << missing.front().first << " -> "
                                 << missing.front().second;
}

INSTANTIATE_TEST_SUITE_P(
    Compile, CorpusCompileTest,
    ::testing::Values(
        CompileCase{
            "dscaler", "dscaler/DScaler.hhp", "DScaler.chm", "Index.hhk", {"-b", "-t"}, {}, 1000},
        CompileCase{"famitracker",
                    "famitracker/FamiTracker.hhp",
                    "FamiTracker.chm",
                    "FamiTracker.hhk",
                    {"-b", "-t"},
                    {},
                    1000},
        CompileCase{"kafe",
                    "kafe-sphinx/kafedoc.hhp",
                    "kafedoc.chm",
                    "kafedoc.hhk",
                    {"-b", "-t"},
                    {},
                    1000},
        CompileCase{
            "mwsnap", "mwsnap/MWSnap.hhp", "MWSnap.chm", "index.hhk", {"-b", "-t"}, {}, 1000},
        CompileCase{"serialem",
                    "serialem/SerialEM.hhp",
                    "SerialEM.chm",
                    "SerialEM.hhk",
                    {"-b", "-t"},
                    {},
                    1000},
        CompileCase{"tinycad",
                    "tinycad/TinyCAD.hhp",
                    "TinyCAD.chm",
                    "TinyCAD.hhk",
                    {"-b", "-t"},
                    {},
                    30,
                    true},
        CompileCase{"pwsafe",
                    "pwsafe-ru/pwsafe.hhp",
                    "pwsafeRU.chm",
                    "pwsafeRU.hhk",
                    {"-b", "-t"},
                    {},
                    300},
        CompileCase{"sakura",
                    "sakura-ja/sakura.hhp",
                    "sakura.chm",
                    "sakura.hhk",
                    {"-b", "-t"},
                    {},
                    300,
                    true},
        CompileCase{"garden",
                    "examples/garden/Garden.hhp",
                    "Garden.chm",
                    "Garden.hhk",
                    {"-b", "-t", "--map", "alias"},
                    {"Garden_alias.h", "Garden_map.h"},
                    500},
        // Windows-1251 words come back one "?" per letter.
        CompileCase{"garden_ru",
                    "examples/garden-ru/Sad.hhp",
                    "Sad.chm",
                    "Sad.hhk",
                    {"-b", "-t", "-k", "-d", "--map", "alias"},
                    {"Sad_alias.h", "Sad_map.h"},
                    40}),
    [](const auto& info) { return std::string(info.param.Name); });

// SIGTERM in the middle of a compile stops chmcmd and leaves no staging folder, and the previous
// compiled file as it was; without chmcmd nothing at all happens.
TEST_F(CompileTest, StoppedOrImpossibleCompilesChangeNothing) {
    if (!HaveChmcmd()) {
        GTEST_SKIP() << "chmcmd (fp-utils) is not installed";
    }
    namespace fs = std::filesystem;
    // The project that takes chmcmd longest (seconds).
    const fs::path original = fs::path(TARNWICK_CORPUS_DIR) / "serialem/SerialEM.hhp";
    if (!fs::exists(original)) {
        FAIL() << "no corpus at " << TARNWICK_CORPUS_DIR;
    }
    const fs::path folder = project_.Path() / "serialem";
    fs::copy(original.parent_path(), folder, fs::copy_options::recursive);
    const std::string previous = project_.Write("serialem/SerialEM.chm", "the previous help");
    const std::set<std::string> before = Contents(folder);
    const std::string hhp = (folder / "SerialEM.hhp").string();

    const CliRun none = [&] {
        const std::string saved = env_;
        env_ += "PATH=/nonexistent ";
        CliRun run = Run({"--compile", hhp});
        env_ = saved;
        return run;
    }();
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "Compiling needs chmcmd (Debian package fp-utils).\n");
    EXPECT_TRUE(fs::is_empty(tmp_.Path()));

    // What a compile killed outright (no signal handler runs on SIGKILL) left behind: removed by
    // the next compile, as no process holds its lock.
    const fs::path leftover = tmp_.Path() / "tarnwick-compile-Kil1ed";
    fs::create_directories(leftover / "html");
    std::ofstream(leftover / ".lock").put('x');
    std::ofstream(leftover / "html/page.htm").put('x');

    const std::string command = "exec env " + env_ +
                                "XDG_DATA_HOME=" + Quoted(data_.Path().string()) + " " +
                                Quoted(std::string(TARNWICK_OUTPUT_DIR) + "/tarnwick-cli") +
                                " --compile " + Quoted(hhp) + " >/dev/null 2>&1";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Halfway: the staging folder is laid out and chmcmd has had a moment to start writing.
    bool staged = false;
    for (int waited = 0; waited < 20000 && !staged; waited += 20) {
        for (const auto& entry : fs::directory_iterator(tmp_.Path())) {
            staged |= fs::exists(entry.path() / "SerialEM.hhp") && entry.path() != leftover;
        }
        ::usleep(20000);
    }
    ::usleep(500000);
    ::kill(pid, SIGTERM);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    EXPECT_TRUE(staged);
    EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == SIGTERM) << raw;
    EXPECT_TRUE(fs::is_empty(tmp_.Path())) << "a staging folder was left";
    EXPECT_EQ(testing::Slurp(previous), "the previous help");
    EXPECT_EQ(Contents(folder), before);
}

}  // namespace
}  // namespace tarnwick
