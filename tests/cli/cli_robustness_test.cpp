// tarnwick-cli when things go wrong around it: two runs building one project at once, a disk that
// fills up under the files it writes, and pipes, devices and folders given as files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_folder.h"

namespace tarnwick {
namespace {

using testing::Slurp;
using testing::TempFolder;

struct Finished {
    int status = -1;
    std::string err;
};

class CliRobustnessTest : public ::testing::Test {
protected:
    // Starts the program with a data folder of the test's own; stderr goes to `errFile`.
    pid_t Start(const std::vector<std::string>& args, const std::string& errFile) {
        const std::string program = std::string(TARNWICK_OUTPUT_DIR) + "/tarnwick-cli";
        std::vector<std::string> all = {program};
        all.insert(all.end(), args.begin(), args.end());
        const std::string dataHome = "XDG_DATA_HOME=" + data_.Path().string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = ::open("/dev/null", O_RDWR);
            if (err < 0 || null < 0) {
                ::_exit(127);
            }
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(err, 2);
            std::vector<char*> argv;
            for (std::string& arg : all) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            ::putenv(const_cast<char*>(dataHome.c_str()));
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        return pid;
    }

    static Finished Wait(pid_t pid, const std::string& errFile) {
        int raw = 0;
        Finished finished;
        if (::waitpid(pid, &raw, 0) == pid && WIFEXITED(raw)) {
            finished.status = WEXITSTATUS(raw);
        }
        finished.err = Slurp(errFile);
        return finished;
    }

    Finished Run(const std::vector<std::string>& args) {
        const std::string errFile = scratch_.File("err");
        return Wait(Start(args, errFile), errFile);
    }

    // A project big enough that writing its index takes several writes: every page has words of
    // its own in the body and others in the title, so a body run and a title run write different
    // files.
    std::string MakeProject(int pages) {
        std::string files;
        for (int i = 0; i < pages; ++i) {
            const std::string name = "page" + std::to_string(i) + ".htm";
            files += name + "\r\n";
            std::string page = "<html><head><title>Title" + std::to_string(i) + " heading";
            for (int k = 0; k < 20; ++k) {
                page += " t" + std::to_string(i) + "x" + std::to_string(k);
            }
            page += "</title></head><body>";
            for (int k = 0; k < 200; ++k) {
                page += " body" + std::to_string(i) + "w" + std::to_string(k);
            }
            project_.Write(name, page + "</body></html>");
        }
        return project_.Write("Help.hhp",
                              "[OPTIONS]\r\nIndex file=Help.hhk\r\n\r\n[ALIAS]\r\n#include "
                              "Alias.h\r\n\r\n[MAP]\r\n#include Map.h\r\n\r\n[FILES]\r\n" +
                                  files);
    }

    TempFolder project_;
    TempFolder data_;
    TempFolder scratch_;
};

// A pipe would hang the run and a device would be read until memory runs out: whatever stands
// where a project or a list should be, the run ends at once and says what it is.
TEST_F(CliRobustnessTest, PipesDevicesAndFoldersAreRefusedAtOnce) {
    const std::string hhp = MakeProject(2);
    const std::string fifo = scratch_.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = scratch_.File("zero");
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    const std::string listFolder = data_.Folder() + "Tarnwick/Exclude_List/";
    struct Case {
        std::vector<std::string> args;
        std::string reason;
        bool defaultListIsAPipe = false;
    };
    const Case cases[] = {
        {{"--scan", fifo}, "named pipe"},
        {{"--scan", zero}, "device"},
        {{"--scan", scratch_.Path().string()}, "Is a directory"},
        {{"--exclude-list", fifo, hhp}, "named pipe"},
        {{"--exclude-list", zero, hhp}, "device"},
        {{"--default-list", zero, hhp}, "device"},
        {{hhp}, "named pipe", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::filesystem::remove_all(listFolder);
        if (c.defaultListIsAPipe) {
            std::filesystem::create_directories(listFolder);
            ASSERT_EQ(::mkfifo((listFolder + "Default_Exclude_List.txt").c_str(), 0600), 0);
        }
        const std::string errFile = scratch_.File("err");
        const pid_t pid = Start(c.args, errFile);
        int raw = 0;
        pid_t done = 0;
        for (int waited = 0; waited < 1000 && (done = ::waitpid(pid, &raw, WNOHANG)) == 0;
             ++waited) {
            ::usleep(10 * 1000);
        }
        if (done != pid) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &raw, 0);
            ADD_FAILURE() << "still running after 10 s";
            continue;
        }
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 2);
        const std::string err = Slurp(errFile);
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
    }
}

TEST_F(CliRobustnessTest, TwoRunsOnOneProjectNeverMixTheirFiles) {
    const std::string hhp = MakeProject(400);
    const std::string index = project_.File("Help.hhk");
    const std::string words = project_.File("words.txt");
    const std::vector<std::string> bodyRun = {"--quiet", "--keep-numbers", "--body", "--map",
                                              "alias",   "--words",        words,    hhp};
    const std::vector<std::string> titleRun = {"--quiet", "--keep-numbers", "--title", "--map",
                                               "alias",   "--words",        words,     hhp};
    // What each run writes on its own.
    ASSERT_EQ(Run(bodyRun).status, 0);
    const std::string bodyIndex = Slurp(index);
    const std::string bodyWords = Slurp(words);
    const std::string alias = Slurp(project_.File("Alias.h"));
    const std::string map = Slurp(project_.File("Map.h"));
    ASSERT_EQ(Run(titleRun).status, 0);
    const std::string titleIndex = Slurp(index);
    const std::string titleWords = Slurp(words);
    ASSERT_GT(bodyIndex.size(), 4u << 20);  // several of the writer's 1 MB blocks
    ASSERT_NE(bodyIndex, titleIndex);

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string errA = scratch_.File("a.err");
        const std::string errB = scratch_.File("b.err");
        const pid_t a = Start(bodyRun, errA);
        const pid_t b = Start(titleRun, errB);
        const Finished first = Wait(a, errA);
        const Finished second = Wait(b, errB);
        // The later one waits for the earlier one's files, or reports a file as in use.
        for (const Finished* run : {&first, &second}) {
            EXPECT_TRUE(run->status == 0 || run->err.find("in use") != std::string::npos)
                << run->status << ": " << run->err;
        }
        // Each file is one run's whole file, never a mix of the two or a truncated one.
        const std::string finalIndex = Slurp(index);
        EXPECT_TRUE(finalIndex == bodyIndex || finalIndex == titleIndex)
            << "index of " << finalIndex.size() << " bytes";
        const std::string finalWords = Slurp(words);
        EXPECT_TRUE(finalWords == bodyWords || finalWords == titleWords)
            << "word list of " << finalWords.size() << " bytes";
        EXPECT_EQ(Slurp(project_.File("Alias.h")), alias);
        EXPECT_EQ(Slurp(project_.File("Map.h")), map);
    }
}

TEST_F(CliRobustnessTest, ARunWaitsForAnIndexAnotherProcessIsWriting) {
    const std::string hhp = MakeProject(20);
    const std::vector<std::string> args = {"--quiet", "--keep-numbers", hhp};
    ASSERT_EQ(Run(args).status, 0);
    const std::string index = project_.File("Help.hhk");
    const std::string expected = Slurp(index);

    // Another writer holds the index and has written part of its own file.
    const int fd = ::open(index.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    ASSERT_EQ(::ftruncate(fd, 0), 0);
    ASSERT_EQ(::write(fd, "<!-- half", 9), 9);
    const std::string errFile = scratch_.File("err");
    const pid_t run = Start(args, errFile);
    ::usleep(300 * 1000);  // long enough for the run to reach the index, not for its patience
    EXPECT_EQ(Slurp(index), "<!-- half");
    ::close(fd);
    const Finished finished = Wait(run, errFile);
    EXPECT_EQ(finished.status, 0) << finished.err;
    EXPECT_EQ(Slurp(index), expected);
}

TEST_F(CliRobustnessTest, AFullDiskEndsTheRunWithTheSystemsText) {
    const std::string hhp = MakeProject(3);
    // The word list.
    Finished run = Run({"--quiet", "--no-index", "--words", "/dev/full", hhp});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    // The index and the map files are never written through a link the project folder holds.
    for (const char* file : {"Help.hhk", "Alias.h", "Map.h"}) {
        SCOPED_TRACE(file);
        const std::string path = project_.File(file);
        ::unlink(path.c_str());
        ASSERT_EQ(::symlink("/dev/full", path.c_str()), 0);
        run = Run({"--quiet", "--map", "alias", hhp});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(
            run.err.find("\"" + std::string(file) + "\" was not written: it is a symbolic link."),
            std::string::npos)
            << run.err;
        ::unlink(path.c_str());
    }
}

}  // namespace
}  // namespace tarnwick
