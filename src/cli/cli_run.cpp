#include "cli/cli_run.h"

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <ostream>
#include <vector>

#include "app/program_folders.h"
#include "app/project_session.h"
#include "output/build_run.h"
#include "output/compile_run.h"
#include "output/word_list_export.h"
#include "pipeline/exclude_list.h"
#include "pipeline/hhp_scanner.h"
#include "pipeline/parse_run.h"
#include "pipeline/topic_counts.h"
#include "pipeline/word_list.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "store/kdf.h"
#include "support/utils.h"

namespace tarnwick::cli {
namespace {

// The parse's failures on stderr, and with `showProgress` its progress on a terminal: one line,
// rewritten at most ten times a second.
class TConsoleProgress : public TParseProgress {
public:
    TConsoleProgress(std::ostream& err, bool showProgress) : err_(err), show_(showProgress) {}

    void ShowCount(std::string_view countText, int /*position*/) override {
        const auto now = std::chrono::steady_clock::now();
        if (!show_ || now - lastShown_ < std::chrono::milliseconds(100)) {
            return;
        }
        lastShown_ = now;
        Show(countText);
    }

    void ReportError(std::string_view text) override { err_ << text << '\n' << std::flush; }

    void Finish(const TParseResult& result) {
        if (!show_) {
            return;
        }
        if (result.FileCount > 0) {
            Show(ParseCountText(result.FileIndex, result.FileCount));
        }
        err_ << '\n' << std::flush;
    }

private:
    void Show(std::string_view countText) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::steady_clock::now() - start_)
                                 .count();
        err_ << '\r' << countText << "  " << LapsedTimeText(static_cast<int>(seconds))
             << std::flush;
    }

    std::ostream& err_;
    const bool show_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastShown_{};
};

void PrintScan(const THhpScanResult& scan, std::ostream& out) {
    out << "Index file: " << TrimBlanks(scan.IndexCaption) << '\n';
    out << "Alias file: " << TrimBlanks(scan.AliasCaption) << '\n';
    out << "Map file: " << TrimBlanks(scan.MapCaption) << '\n';
    out << "Code page: " << scan.CodePage << '\n';
    out << "Longest topic name: " << scan.MaxNameLength << '\n';
    for (const std::string& name : scan.WindowNames) {
        out << "Window: " << name << '\n';
    }
    for (const std::string& file : scan.Files) {
        out << "Topic: " << file << '\n';
    }
    out.flush();
}

// The build's failures on stderr, and with `showProgress` its progress on a terminal, rewritten
// at most ten times a second.
class TConsoleBuildProgress : public TBuildProgress {
public:
    TConsoleBuildProgress(std::ostream& err, bool showProgress, int fileCount)
        : err_(err), show_(showProgress), fileCount_(fileCount) {}

    void ShowCount(std::string_view countText, int /*position*/) override {
        const auto now = std::chrono::steady_clock::now();
        if (!show_ || countText.empty() || now - lastShown_ < std::chrono::milliseconds(100)) {
            return;
        }
        lastShown_ = now;
        err_ << '\r' << countText << std::flush;
        shown_ = true;
    }

    void ReportError(std::string_view text) override { err_ << text << '\n' << std::flush; }

    void Finish(const TBuildResult& result) {
        if (show_ && (shown_ || result.WordCount > 0)) {
            err_ << '\r' << BuildCountText(result.WordsDone, result.WordCount, fileCount_) << '\n'
                 << std::flush;
        }
    }

private:
    std::ostream& err_;
    const bool show_;
    const int fileCount_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastShown_{};
};

// The signal that asked the compile to stop, 0 while none has.
volatile sig_atomic_t stopSignal = 0;

void StopCompile(int signal) {
    stopSignal = signal;
}

// While a compile runs, SIGTERM, SIGINT and SIGHUP stop it as a Cancel would: chmcmd's process
// group is stopped and the staging folder removed. The signal is then raised again, so that the
// program ends as the sender expects.
class TCompileSignals {
public:
    TCompileSignals() {
        struct sigaction action {};
        action.sa_handler = StopCompile;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], &action, &previous_[i]);
        }
    }
    ~TCompileSignals() {
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], &previous_[i], nullptr);
        }
        if (stopSignal != 0) {
            ::raise(stopSignal);
        }
    }
    TCompileSignals(const TCompileSignals&) = delete;
    TCompileSignals& operator=(const TCompileSignals&) = delete;

private:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
    struct sigaction previous_[std::size(kSignals)];
};

// The compile's lines on stderr as they come, and its cancel from a signal.
class TConsoleCompileProgress : public TCompileProgress {
public:
    explicit TConsoleCompileProgress(std::ostream& err) : err_(err) {}
    bool CancelRequested() override { return stopSignal != 0; }
    void ShowLine(const TCompileLine& line) override { err_ << line.Text << '\n' << std::flush; }
    void ReportError(std::string_view text) override { err_ << text << '\n' << std::flush; }

private:
    std::ostream& err_;
};

// Compiles the project; returns whether the compiled file is in place.
bool RunCompile(const std::string& project, std::ostream& err) {
    TCompileInput input;
    input.ProjectFile = project;
    TConsoleCompileProgress progress(err);
    TCompileResult result;
    {
        TCompileSignals signals;
        result = TCompileRun(input, progress).Run();
        if (result.End != CompileEnd::NoCompiler) {
            err << result.Message << '\n' << std::flush;
        }
    }
    return result.End == CompileEnd::Completed;
}

// Keeps `session` reachable (so leak checkers see it in use) and never destroyed.
void KeepUntilExit(TProjectSession& session) {
    static std::vector<TProjectSession*>* const kept = new std::vector<TProjectSession*>;
    kept->push_back(&session);
}

}  // namespace

int RunCommand(const TCliOptions& options, std::ostream& out, std::ostream& err,
               bool showProgress) {
    // What a desktop program killed in the middle of a write left in the data folder goes now, as
    // it would at the program's next start; files another process is writing stay.
    if (const std::string dataFolder = AppDataFolder("Tarnwick"); !dataFolder.empty()) {
        CKdf::RemoveLeftoverTemporaryFiles(dataFolder + "/");
        RemoveLeftoverTemporaries(dataFolder + "/" + std::string(ExcludeListSubfolder));
    }
    // The command is the last thing the process does. The word list of a big project is hundreds
    // of thousands of small allocations, which the system takes back at once when the process
    // ends, much faster than freeing them one by one; so the session that holds it is left to it.
    TProjectSession& session = *new TProjectSession;
    KeepUntilExit(session);
    session.AsciiLetters = options.AsciiLetters;
    session.Open(options.Project);
    const THhpScanResult& scan = session.Project();
    if (!scan.ProjectRead) {
        // The scanner reports no reason for a file that is not there; say it like the file layer.
        err << (scan.ReadError.empty()
                    ? EFOpenError(options.Project, SystemErrorText(ENOENT)).what()
                    : scan.ReadError)
            << '\n';
        return kExitFailure;
    }
    if (options.Scan) {
        PrintScan(scan, out);
        return kExitOk;
    }
    if (options.CompileOnly()) {
        return RunCompile(options.Project, err) ? kExitOk : kExitSomeFilesUnopened;
    }

    // The choices the desktop program keeps for a project, taken from the command line.
    session.SetAllOptions(options.Options());
    session.WindowName = options.WindowName;
    session.InitialId = options.InitialId;
    std::string defaultList;
    if (options.DefaultList) {
        defaultList = *options.DefaultList;
    } else if (session.Options & kUseDefaultExclude) {
        defaultList = DefaultExcludeListPath();
    }
    TdlgParse_InitData input = session.ParseInput(defaultList, options.ExcludeList.value_or(""));
    input.Jobs = options.Jobs;
    const TWordList& wordList = session.WordList;

    TConsoleProgress progress(err, showProgress);
    TParseResult result;
    try {
        result = RunParse(input, progress);
    } catch (const EFileError& error) {
        // Only the exclude lists are opened this way; nothing has been written.
        err << error.what() << '\n';
        return kExitFailure;
    }
    progress.Finish(result);
    if (result.End == ParseEnd::NoFolder) {
        err << "The project's folder does not exist: " << ProjectFolderOf(input.ProjectFile)
            << '\n';
        return kExitFailure;
    }

    int status = result.UnopenedFiles.empty() ? kExitOk : kExitSomeFilesUnopened;
    const size_t topics = PageTopicCount(scan.Files);
    if (options.MaxShare) {
        // Words found in most topics tell a reader nothing: they leave the index and the lists.
        session.WordList.RemoveEntries([&](const TIndexEntry& entry) {
            return IsCommonWord(TopicCount(entry), topics, *options.MaxShare);
        });
    }
    if (options.CountsFile) {
        std::vector<std::string> lines;
        lines.reserve(wordList.size());
        for (const TIndexEntry& entry : wordList) {
            lines.push_back(entry.Word + '\t' + std::to_string(TopicCount(entry)));
        }
        try {
            if (!ExportWordList(*options.CountsFile, lines)) {
                err << "No words to count: " << *options.CountsFile << " was not written.\n";
                status = kExitSomeFilesUnopened;
            }
        } catch (const EFileError& error) {
            err << error.what() << '\n';
            return kExitFailure;
        }
    }
    if (options.WordsFile) {
        try {
            if (!ExportWordList(*options.WordsFile, wordList.size(), [&wordList](size_t i) {
                    return std::string_view(wordList[i].Word);
                })) {
                // A words file left from an earlier run must not pass for this one's.
                err << "No words to export: " << *options.WordsFile << " was not written.\n";
                status = kExitSomeFilesUnopened;
            }
        } catch (const EFileError& error) {
            err << error.what() << '\n';
            return kExitFailure;
        }
    }

    // As Parse HTML followed by Build All in the main window: the index (which says so when there
    // are no words to put in it), the map files when a map choice was given.
    const TdlgBuildNdx_InitData build =
        session.BuildInput(!options.NoIndex, session.MapMode != MapMode::None);
    if (!build.BuildIndex && !build.BuildMap) {
        if (options.Compile && !RunCompile(options.Project, err)) {
            return kExitSomeFilesUnopened;
        }
        return status;
    }
    TConsoleBuildProgress buildProgress(err, showProgress, static_cast<int>(scan.Files.size()));
    const TBuildResult built = TBuildRun(build, buildProgress).Run();
    buildProgress.Finish(built);
    // What the desktop program shows in a box went to stderr as it happened; what the build dialog
    // shows only in its message line is printed here.
    for (const std::string& error : built.Errors) {
        err << error << '\n';
    }
    for (const std::string& note : built.Notes) {
        err << note << '\n';
    }
    status = built.HasProblems() && status == kExitOk ? kExitSomeFilesUnopened : status;
    if (options.Compile && !RunCompile(options.Project, err)) {
        return kExitSomeFilesUnopened;
    }
    return status;
}

}  // namespace tarnwick::cli
