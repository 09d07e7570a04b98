#include "output/compile_run.h"

#include <cerrno>

#include "output/build_run.h"
#include "output/output_names.h"
#include "pipeline/hhp_scanner.h"
#include "platform/os.h"
#include "platform/process.h"
#include "platform/system_text.h"
#include "support/utils.h"

namespace tarnwick {
namespace {

// How often the run looks at chmcmd's output, pumps events and asks for a cancel.
constexpr int kPollMs = 50;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Copies the compiled file through the file layer: the previous one is replaced only by the
// whole new one.
void PutInPlace(const std::string& from, const std::string& to, TFileSystem& system) {
    TRegularFile source(from);
    if (source.Error() != 0) {
        throw EFOpenError(from, source.Reason());
    }
    TFileWriter writer(to, system);
    writer.Reserve(source.Size());
    std::vector<char> buffer(std::size_t{1} << 16);
    for (;;) {
        const ssize_t got = source.Read(buffer.data(), buffer.size());
        if (got < 0) {
            throw EFOpenError(from, SystemErrorText(errno));
        }
        if (got == 0) {
            break;
        }
        writer.Write(std::string_view(buffer.data(), static_cast<size_t>(got)));
    }
    writer.Close();
}

}  // namespace

TCompileLine ClassifyCompilerLine(std::string_view line) {
    const std::string_view text = TrimBlanks(line);
    if (text.empty()) {
        return {CompileLineKind::Note, {}};
    }
    if (StartsWith(text, "Warning:")) {
        return {CompileLineKind::Warning, std::string(text)};
    }
    if (StartsWith(text, "Error:")) {
        const std::string_view rest = TrimBlanks(text.substr(6));
        // A link with a line break in it splits chmcmd's line; its head still says what it is.
        const bool brokenAnchor = StartsWith(rest, "Anchor ");
        if (brokenAnchor || StartsWith(rest, "Html parsing ")) {
            return CompileLine(CompileLineKind::Warning, std::string(rest));
        }
        return {CompileLineKind::Error, std::string(text)};
    }
    if (StartsWith(text, "Note:")) {
        return {CompileLineKind::Note, std::string(text)};
    }
    // What chmcmd prints when it gives up: a corrupt project, a file it cannot find, a crash
    // with the exception's class ("EFOpenError: ...") and addresses.
    const size_t colon = text.find(':');
    const bool exceptionClass = colon != std::string_view::npos && text.front() == 'E' &&
                                text.substr(0, colon).find(' ') == std::string_view::npos;
    if (StartsWith(text, "This HHP CHM project") || StartsWith(text, "An unhandled exception") ||
        StartsWith(text, "Can't find") || exceptionClass) {
        return CompileLine(CompileLineKind::Error, std::string(text));
    }
    return CompileLine(CompileLineKind::Note, std::string(text));
}

TCompileRun::TCompileRun(const TCompileInput& input, TCompileProgress& progress)
    : input_(input), progress_(progress) {}

void TCompileRun::AddLine(TCompileLine line) {
    if (line.Text.empty()) {
        return;
    }
    if (line.Kind == CompileLineKind::Error) {
        ++result_.Errors;
    } else if (line.Kind == CompileLineKind::Warning) {
        ++result_.Warnings;
    }
    result_.Lines.push_back(std::move(line));
    progress_.ShowLine(result_.Lines.back());
}

void TCompileRun::Fail(std::string text) {
    AddLine(CompileLine(CompileLineKind::Error, std::move(text)));
}

void TCompileRun::SetMessage(std::string text) {
    result_.Message = std::move(text);
    progress_.ShowMessage(result_.Message);
}

TCompileResult TCompileRun::Run() {
    const std::string compiler = FindProgram(input_.Compiler);
    if (compiler.empty()) {
        result_.End = CompileEnd::NoCompiler;
        result_.ResultCaption = "Aborted";
        SetMessage(std::string(kNoCompilerMessage));
        progress_.ReportError(kNoCompilerMessage);
        return result_;
    }
    result_.End = CompileEnd::Failed;
    {
        // What a compile killed outright left behind goes first.
        RemoveLeftoverTemporaryFolders(std::string(kStagingPrefix));
        // Removed when the run leaves, however it leaves.
        const TTemporaryFolder staging{std::string(kStagingPrefix)};
        if (staging.Path().empty()) {
            Fail("The staging folder could not be made: " + SystemErrorText(errno));
        } else {
            try {
                Compile(compiler, staging.Path());
            } catch (const EFileError& error) {
                Fail(error.what());
            } catch (const std::exception& error) {
                Fail(error.what());
            }
        }
    }
    auto plural = [](int count, const char* word) {
        return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
    };
    const std::string counts =
        plural(result_.Errors, "error") + ", " + plural(result_.Warnings, "warning") + ".";
    if (result_.End == CompileEnd::Canceled) {
        result_.ResultCaption = "Canceled";
        SetMessage(std::string(kCompileCanceledMessage));
    } else if (result_.End == CompileEnd::Completed) {
        result_.ResultCaption = "OK";
        SetMessage("Compiled " + std::string(FileNamePart(result_.ChmPath)) + ": " + counts);
    } else {
        result_.ResultCaption = "Aborted";
        SetMessage("Compiling failed: " + counts);
    }
    return result_;
}

void TCompileRun::Compile(const std::string& compiler, const std::string& stagingFolder) {
    const TStagedProject staged = StageProject(input_.ProjectFile, stagingFolder, input_.Staging);
    for (const TCompileLine& line : staged.Adjustments) {
        AddLine(line);
    }
    const size_t slash = input_.ProjectFile.rfind('/');
    result_.ChmPath =
        (slash == std::string::npos ? std::string("./") : input_.ProjectFile.substr(0, slash + 1)) +
        staged.CompiledName;
    // The compiled file must be one the author can have replaced: not a link, not the project
    // file or a topic.
    const std::string problem = OutputNameProblem(
        input_.ProjectFile, staged.CompiledName,
        THhpScanner::ScanBytes(
            ReadRegularFile(input_.ProjectFile, kMaxProjectFileSize, "a project file"))
            .Files);
    if (!problem.empty()) {
        Fail(problem);
        return;
    }

    TChildProcess process;
    // A relative project name: chmcmd opens the include files relative to its working folder.
    if (const int error = process.Start(compiler, {staged.ProjectName}, stagingFolder);
        error != 0) {
        Fail("chmcmd could not be started: " + SystemErrorText(error));
        return;
    }
    std::vector<std::string> printed;
    for (bool running = true; running;) {
        running = process.Poll(kPollMs, printed);
        for (const std::string& text : printed) {
            AddLine(ClassifyCompilerLine(text));
        }
        printed.clear();
        progress_.PumpEvents();
        if (running && progress_.CancelRequested()) {
            process.Stop();
            result_.End = CompileEnd::Canceled;
            return;
        }
    }
    if (process.ExitStatus() != 0) {
        Fail("chmcmd ended with exit status " + std::to_string(process.ExitStatus()) + ".");
    }
    const std::string compiled = stagingFolder + "/" + staged.CompiledName;
    if (!FileExists(compiled)) {
        Fail("chmcmd wrote no " + staged.CompiledName + ".");
    }
    if (result_.Errors > 0) {
        return;
    }
    PutInPlace(compiled, result_.ChmPath,
               input_.FileSystem ? *input_.FileSystem : TFileSystem::Default());
    result_.End = CompileEnd::Completed;
}

}  // namespace tarnwick
