// The staging of a compile: the copy of a help project that chmcmd compiles, laid out in a
// folder of its own and made acceptable to chmcmd there - entries spelled as the files on disk,
// alias files without alignment blanks, aliases and context IDs that have no partner left out -
// while the author's files stay as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// How the project's files reach the staging folder. Only the files the staging rewrites (the
// project file, its alias and map files) are written there in any case.
enum class StagingMode {
    Link,  // symbolic links to the author's files
    Copy,  // copies
};

enum class CompileLineKind { Note, Warning, Error };

// One line of the run's report: what the staging changed, or what chmcmd printed, or why the
// run failed. Text begins with "Note: ", "Warning: " or "Error: " as Kind says.
struct TCompileLine {
    CompileLineKind Kind = CompileLineKind::Note;
    std::string Text;
};

// The staging folder's name in the temporary folder, before its six random characters.
inline constexpr std::string_view kStagingPrefix = "tarnwick-compile-";

// A line of the report: `text` after the prefix of `kind` ("Note: ", "Warning: ", "Error: ").
TCompileLine CompileLine(CompileLineKind kind, std::string text);

// The project laid out for chmcmd.
struct TStagedProject {
    std::string ProjectName;   // the project file's name in the staging folder
    std::string CompiledName;  // the file chmcmd writes there: a bare name
    std::vector<TCompileLine> Adjustments;
};

// The value of the "Compiled file" option of the project text `project`, as a compile reads it:
// that of the last such line of [OPTIONS], the key in any letter case, blanks trimmed; empty when
// there is none. The compile and the help window read it alike.
std::string CompiledFileOption(std::string_view project);
// The bare name a compile gives the compiled file, which it puts beside the project: the file
// name `option` ends in, or the project file's name `projectName` with ".chm" when it names none.
std::string CompiledFileName(std::string_view option, std::string_view projectName);

// Lays out the project `projectFile` in the existing, empty folder `stagingFolder`: every file of
// the project's folder and its subfolders (except hidden ones and the compiled file), and the
// project file, its alias and its map files rewritten for chmcmd. Throws EFileError when the
// project file cannot be read or a staged file cannot be written.
TStagedProject StageProject(const std::string& projectFile, const std::string& stagingFolder,
                            StagingMode mode);

}  // namespace tarnwick
