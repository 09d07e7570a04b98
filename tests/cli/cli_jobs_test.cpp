// tarnwick-cli with several jobs: whatever the number of threads that read pages, the index, the
// word list, the messages and the exit status are byte for byte those of a run with one.
// Projects are copied into a temporary folder first, since a build writes next to them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/temp_folder.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Everything a run leaves: exit status, output, and every index and word file it wrote.
struct RunOutcome {
    int Status = -1;
    std::string Out;
    std::string Err;
    std::map<std::string, std::string> Files;

    bool operator==(const RunOutcome&) const = default;
};

void PrintTo(const RunOutcome& outcome, std::ostream* out) {
    *out << "status " << outcome.Status << ", stderr \"" << outcome.Err << "\", "
         << outcome.Files.size() << " files";
    for (const auto& [name, bytes] : outcome.Files) {
        *out << " " << name << " (" << bytes.size() << " bytes)";
    }
}

class CliJobsTest : public ::testing::Test {
protected:
    // Runs the program on `hhp` with `jobs` threads, the default list of the build and all
    // four page parts, then collects what it wrote into the project's folder.
    RunOutcome Run(const std::string& hhp, const std::string& jobs) {
        const std::string words = scratch_.File("words.txt");
        std::string command = "XDG_DATA_HOME=" + Quoted(data_.Path().string()) + " " +
                              Quoted(std::string(TARNWICK_OUTPUT_DIR) + "/tarnwick-cli") +
                              " -b -t -k -d -j " + jobs + " --words " + Quoted(words) + " " +
                              Quoted(hhp) + " >" + Quoted(scratch_.File("out")) + " 2>" +
                              Quoted(scratch_.File("err")) + " </dev/null";
        const int raw = std::system(command.c_str());
        RunOutcome outcome;
        outcome.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        outcome.Out = testing::Slurp(scratch_.File("out"));
        outcome.Err = testing::Slurp(scratch_.File("err"));
        outcome.Files["words"] = testing::Slurp(words);
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(hhp).parent_path())) {
            if (entry.path().extension() == ".hhk") {
                outcome.Files[entry.path().filename().string()] = testing::Slurp(entry.path());
                fs::remove(entry.path());
            }
        }
        fs::remove(words);
        return outcome;
    }

    // One run per number of jobs, each compared with the run on one thread.
    void ExpectSameForAnyJobs(const std::string& hhp) {
        const RunOutcome single = Run(hhp, "1");
        ASSERT_FALSE(single.Files.at("words").empty()) << single.Err;
        for (const char* jobs : {"2", "3", "8"}) {
            EXPECT_EQ(Run(hhp, jobs), single) << jobs << " jobs on " << hhp;
        }
    }

    testing::TempFolder project_;
    testing::TempFolder data_;
    testing::TempFolder scratch_;
};

TEST_F(CliJobsTest, ExampleProject) {
    const fs::path copy = project_.Path() / "garden";
    fs::copy(std::string(TARNWICK_SOURCE_DIR) + "/examples/garden", copy,
             fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator(copy)) {
        if (entry.path().extension() == ".hhk") {
            fs::remove(entry.path());  // a stray index of an earlier run
        }
    }
    ExpectSameForAnyJobs((copy / "Garden.hhp").string());
}

TEST_F(CliJobsTest, GeneratedProjectWithUnopenableAndRepeatedEntries) {
    std::string files;
    for (int i = 0; i < 120; ++i) {
        const std::string name = "p" + std::to_string(i) + ".htm";
        std::string body;
        for (int k = 0; k < 20 + i % 50; ++k) {
            body += (k % 3 == 0 ? "Shared " : "shared ") +
                    std::string(1, char('a' + (i + k) % 26)) + "word" +
                    std::string(1, char('a' + k % 26)) + " ";
        }
        project_.Write(name, "<title>Page " + std::string(1, char('A' + i % 26)) + "</title><p>" +
                                 body + "</p>");
        files += name + "\r\n";
        if (i % 17 == 3) {
            files += "missing\\gone" + std::to_string(i) + ".htm\r\n";
        }
        if (i % 29 == 4) {
            files += name + "\r\n";
        }
    }
    const std::string hhp = project_.Write(
        "Gen.hhp", "[OPTIONS]\r\nIndex file=Gen.hhk\r\n\r\n[FILES]\r\n" + files + "\r\n[MAP]\r\n");
    const RunOutcome single = Run(hhp, "1");
    EXPECT_EQ(single.Status, 1);
    EXPECT_NE(single.Err.find("Could not open file\n"), std::string::npos);
    ExpectSameForAnyJobs(hhp);
}

// The real projects of the corpus, where present.
class CliJobsCorpusTest : public CliJobsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CliJobsCorpusTest, SameIndexForAnyJobs) {
    const fs::path source = fs::path(TARNWICK_CORPUS_DIR) / GetParam();
    if (!fs::exists(source)) {
        FAIL() << "no corpus at " << TARNWICK_CORPUS_DIR;
    }
    const fs::path copy = project_.Path() / source.parent_path().filename();
    fs::copy(source.parent_path(), copy, fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator(copy)) {
        if (entry.path().extension() == ".hhk") {
            fs::remove(entry.path());  // the project's own index
        }
    }
    // Not every project names its index in a way the scanner reads, so a project of our own
    // lists the same topic files and names the index.
    const std::string command = Quoted(std::string(TARNWICK_OUTPUT_DIR) + "/tarnwick-cli") +
                                " --scan " + Quoted((copy / source.filename()).string()) + " >" +
                                Quoted(scratch_.File("scan"));
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string files;
    const std::string scan = testing::Slurp(scratch_.File("scan"));
    for (size_t at = scan.find("Topic: "); at != std::string::npos; at = scan.find("Topic: ", at)) {
        const size_t end = scan.find('\n', at);
        files += scan.substr(at + 7, end - at - 7) + "\r\n";
        at = end;
    }
    ASSERT_FALSE(files.empty());
    const fs::path hhp = copy / "Jobs.hhp";
    project_.Write((hhp.lexically_relative(project_.Path())).string(),
                   "[OPTIONS]\r\nIndex file=Jobs.hhk\r\n\r\n[FILES]\r\n" + files + "\r\n");
    ExpectSameForAnyJobs(hhp.string());
    EXPECT_TRUE(Run(hhp.string(), "2").Files.count("Jobs.hhk"));
}

INSTANTIATE_TEST_SUITE_P(Corpus, CliJobsCorpusTest,
                         ::testing::Values("dscaler/DScaler.hhp", "famitracker/FamiTracker.hhp",
                                           "kafe-sphinx/kafedoc.hhp", "mwsnap/MWSnap.hhp",
                                           "serialem/SerialEM.hhp"),
                         [](const auto& info) {
                             const std::string name = info.param;
                             return name.substr(0, name.find_first_of("-/"));
                         });

TEST_F(CliJobsTest, JobsMustBeAPositiveNumber) {
    const std::string hhp = project_.Write("p.hhp", "[FILES]\r\na.htm\r\n");
    for (const char* jobs : {"0", "-1", "many", "100000"}) {
        const RunOutcome outcome = Run(hhp, jobs);
        EXPECT_EQ(outcome.Status, 2) << jobs;
        EXPECT_NE(outcome.Err.find("--jobs"), std::string::npos) << jobs << ": " << outcome.Err;
    }
}

}  // namespace
}  // namespace tarnwick
