// The compile run: turns a help project into its compiled help file with chmcmd without touching
// the author's files. The project is laid out in a temporary staging folder, made acceptable to
// chmcmd there (entries spelled as the files on disk, alias files without alignment blanks,
// aliases and context IDs that have no partner left out), compiled, and the compiled file moved
// beside the project. Like the build run it knows nothing of windows: the dialog or the command
// line shows its lines, pumps events and asks for a cancel through TCompileProgress.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "output/compile_staging.h"
#include "platform/file_system.h"

namespace tarnwick {

struct TCompileInput {
    // Path of the project file (a Linux path); the compiled file goes to its folder.
    std::string ProjectFile;
    StagingMode Staging = StagingMode::Link;
    // The compiler, found in $PATH when it holds no "/".
    std::string Compiler = "chmcmd";
    // Where the compiled file is written; null for the real file system.
    TFileSystem* FileSystem = nullptr;
};

// What the run shows and asks while it works. Every call comes from the thread running it.
class TCompileProgress {
public:
    virtual ~TCompileProgress() = default;
    // Lets the GUI's event loop run; called at least every 50 ms while chmcmd runs, right before
    // CancelRequested.
    virtual void PumpEvents() {}
    // Whether the user asked to stop. A cancel stops chmcmd and everything it started.
    virtual bool CancelRequested() { return false; }
    // Each line of the report as it comes.
    virtual void ShowLine(const TCompileLine& /*line*/) {}
    // The message line changed.
    virtual void ShowMessage(std::string_view /*text*/) {}
    // A failure the user must hear about beyond the message line: no compiler installed. The
    // dialog shows it in a box, the command line on stderr.
    virtual void ReportError(std::string_view text) = 0;
};

enum class CompileEnd {
    Completed,   // the compiled file is in place (perhaps with warnings)
    Failed,      // see the error lines; a previous compiled file is left as it was
    Canceled,    // stopped by the user; a previous compiled file is left as it was
    NoCompiler,  // chmcmd is not installed: nothing was done
};

struct TCompileResult {
    CompileEnd End = CompileEnd::Failed;
    // The caption the dialog's button takes: "OK", "Canceled" or "Aborted".
    std::string ResultCaption;
    // The final message line.
    std::string Message;
    std::vector<TCompileLine> Lines;
    int Errors = 0;
    int Warnings = 0;
    // Where the compiled file went (or would have gone).
    std::string ChmPath;
};

inline constexpr std::string_view kNoCompilerMessage =
    "Compiling needs chmcmd (Debian package fp-utils).";
inline constexpr std::string_view kCompileCanceledMessage = "Compiling canceled.";

// Sorts a line chmcmd printed into a note, a warning or an error, and gives the text shown for it
// (empty for a blank line, which is not shown). Broken anchors and pages whose markup chmcmd's
// parser rejects are warnings although chmcmd calls them errors: the compiled file is whole - a
// broken anchor's link leads to the top of its page, a rejected page is stored all the same and
// only the files it links to are not looked for.
TCompileLine ClassifyCompilerLine(std::string_view line);

// One compile, run once. The input and the progress sink must outlive the object.
class TCompileRun {
public:
    TCompileRun(const TCompileInput& input, TCompileProgress& progress);

    // The whole run. Never throws: every failure ends in the result. The staging folder is gone
    // when it returns, however it ended.
    TCompileResult Run();

private:
    void AddLine(TCompileLine line);
    void Fail(std::string text);
    void SetMessage(std::string text);
    void Compile(const std::string& compiler, const std::string& stagingFolder);

    const TCompileInput& input_;
    TCompileProgress& progress_;
    TCompileResult result_;
};

}  // namespace tarnwick
