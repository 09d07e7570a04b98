#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <map>
#include <ostream>

namespace tarnwick::cli {
namespace {

void AddOptions(CLI::App& app, TCliOptions& o) {
    app.add_option("PROJECT.hhp", o.Project, "the HTML Help project file")->required();

    app.add_flag("-b,--body", o.Body, "body text (option 0x08)");
    app.add_flag("-t,--title", o.Title, "title (0x01)");
    app.add_flag("-k,--keywords", o.Keywords, "keyword param elements (0x02)");
    app.add_flag("-d,--description", o.Description,
                 "description meta element (0x04); none of the four given means --body");
    app.add_flag("--keep-numbers", o.KeepNumbers,
                 "keep words that contain a digit (clears 0x10, which is set by default)");
    app.add_flag("--no-default-exclude", o.NoDefaultExclude,
                 "do not use the default exclude list (clears 0x20, set by default)");
    app.add_option("--default-list", o.DefaultList,
                   "the default exclude list (default: the one in the user's exclude-list "
                   "folder, else the installed copy in the program folder)")
        ->type_name("PATH");
    app.add_option("--exclude-list", o.ExcludeList, "a secondary exclude list")
        ->type_name("PATH")
        ->check(CLI::Validator(CLI::ExistingFile).description(""));
    app.add_flag("--scan", o.Scan, "print what the project file names, and exit");
    app.add_option("--words", o.WordsFile,
                   "write the word list, one word per line, each followed by CR LF (an empty "
                   "word list writes no file and the run fails)")
        ->type_name("FILE");
    app.add_flag("-q,--quiet", o.Quiet, "no progress output");
    app.add_option("-j,--jobs", o.Jobs,
                   "threads that read and parse pages (default: one per processor); the result "
                   "is the same for any number")
        ->type_name("N")
        ->check(CLI::Range(1, 256).description(""));

    app.add_flag("--ascii-letters", o.AsciiLetters,
                 "read pages as earlier versions did: only ASCII letters and digits make words, "
                 "every character reference breaks a word, pages are not converted from their "
                 "charset, and words are Windows-1252 whatever the project's language");

    app.add_option("--max-share", o.MaxShare,
                   "leave out of the index and the word lists every word found in more than "
                   "PERCENT % of the project's topics (no exclude list is changed)")
        ->type_name("PERCENT")
        ->check(CLI::Range(1, 100).description(""));
    app.add_option("--counts", o.CountsFile,
                   "write the word list with the number of topics each word is found in, one "
                   "\"word<TAB>topics\" line per word, each followed by CR LF")
        ->type_name("FILE");

    app.add_flag("--no-index", o.NoIndex, "do not write the .hhk index");
    const std::map<std::string, MapMode> mapModes = {
        {"none", MapMode::None}, {"alias", MapMode::AliasFiles}, {"header", MapMode::TopicHeader}};
    app.add_option("--map", o.Map,
                   "none (default), alias (alias file and context-ID header) or header "
                   "(topic-path header)")
        ->type_name("MODE")
        ->transform(CLI::CheckedTransformer(mapModes, CLI::ignore_case).description(""));
    app.add_option("--window", o.WindowName, "help window name written into the header file")
        ->type_name("NAME");
    app.add_option("--initial-id", o.InitialId, "first context ID (default 0)")
        ->type_name("N")
        ->check(CLI::Range(0, 999999999).description(""));
    app.add_flag("--compile", o.Compile,
                 "compile the help with chmcmd (fp-utils) after the build, in a staging copy of "
                 "the project; the .chm goes beside the project. Alone (no page parts, --map, "
                 "--words, --counts or --max-share) it compiles without parsing");
}

}  // namespace

bool TCliOptions::CompileOnly() const {
    return Compile && !(Body || Title || Keywords || Description) && Map == MapMode::None &&
           !WordsFile && !CountsFile && !MaxShare;
}

ParseOptions TCliOptions::Options() const {
    ParseOptions options = 0;
    if (Title)
        options |= kParseTitle;
    if (Keywords)
        options |= kParseKeywords;
    if (Description)
        options |= kParseDescription;
    if (Body || !(Title || Keywords || Description))
        options |= kParseBody;
    if (!KeepNumbers)
        options |= kExcludeNumbers;
    if (!NoDefaultExclude)
        options |= kUseDefaultExclude;
    return options | MapOptionBits(Map);
}

TCommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                              std::ostream& err) {
    TCommandLine result;
    CLI::App app{"Builds the keyword index of an HTML Help project.", "tarnwick-cli"};
    app.set_version_flag("--version", TARNWICK_VERSION, "the program's version");
    AddOptions(app, result.Options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, out, err);
        result.ExitCode = code == 0 ? kExitOk : kExitFailure;
        return result;
    }
    result.Run = true;
    return result;
}

}  // namespace tarnwick::cli
