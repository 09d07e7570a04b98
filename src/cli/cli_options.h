// The command line of tarnwick-cli: what a script asked for, read with CLI11. The option set is
// a contract that scripts rely on; new options are added to TCliOptions and AddOptions only.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "pipeline/parse_options.h"

namespace tarnwick::cli {

struct TCliOptions {
    std::string Project;  // the .hhp file

    // Page parts; none given means the body.
    bool Body = false;
    bool Title = false;
    bool Keywords = false;
    bool Description = false;
    bool KeepNumbers = false;       // clears kExcludeNumbers
    bool NoDefaultExclude = false;  // clears kUseDefaultExclude

    // --default-list: loaded whatever the options say. Not given: the user's or the installed
    // list with kUseDefaultExclude, none without.
    std::optional<std::string> DefaultList;
    std::optional<std::string> ExcludeList;  // the secondary list
    bool Scan = false;                       // print what the project names, and exit
    std::optional<std::string> WordsFile;    // write the word list here
    bool Quiet = false;                      // no progress output
    int Jobs = 0;               // threads that read and parse pages; 0: one per available processor
    bool AsciiLetters = false;  // the ASCII rule of earlier versions (TTextRules::AsciiLetters)
    // Leave out every word found in more than this percentage of the project's topics.
    std::optional<int> MaxShare;
    std::optional<std::string> CountsFile;  // write "word<TAB>topics" lines here

    // What the build after the parse writes: the .hhk unless NoIndex, and the map files as
    // Map says, with the help window name and first context ID of the header file.
    bool NoIndex = false;
    tarnwick::MapMode Map = tarnwick::MapMode::None;
    std::string WindowName;
    std::int32_t InitialId = 0;
    // Compile the help with chmcmd after the build; without page parts, map choice, word or
    // count files, the project is compiled without a parse.
    bool Compile = false;

    // Whether the command compiles only, without parsing the pages.
    bool CompileOnly() const;

    // The option byte the parse and build run with, the map choice included.
    ParseOptions Options() const;
};

// The outcome of reading the command line: either run, or stop at once with ExitCode (help
// and version give 0, usage errors kExitUsage).
struct TCommandLine {
    bool Run = false;
    int ExitCode = 0;
    TCliOptions Options;
};

// Exit statuses of tarnwick-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeFilesUnopened = 1;  // also: build problems, a failed compile
inline constexpr int kExitFailure = 2;            // usage error, unreadable project or default list

// Reads argv. Help and version text go to `out`, usage errors to `err`.
TCommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                              std::ostream& err);

}  // namespace tarnwick::cli
