// The parse run: turns a project's topic files into the word list. It loads the exclude lists,
// parses every topic file in topic-list order, merges each file's words into the word list and
// sorts it at the end. It knows nothing of windows: the parse dialog (or the command line)
// shows its progress, pumps events, asks for a cancel and fills the word view through the sinks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pipeline/index_entry.h"
#include "pipeline/parse_options.h"
#include "pipeline/word_list.h"

namespace tarnwick {

// The input of a run, as the main window fills it.
struct TdlgParse_InitData {
    // Path of the project file (a Linux path); the topic files are joined to its folder.
    std::string ProjectFile;
    // The topic files in the scanner's sorted order; position i is TopicIndex i.
    const std::vector<std::string>* Files = nullptr;
    // Cleared and refilled by the run.
    TWordList* WordList = nullptr;
    ParseOptions Options = kDefaultParseOptions;
    // How the pages' text is read: the project's code page (TTextRules::ForProject).
    TTextRules Rules;
    // Full path of the default exclude list. When not empty it is loaded whatever Options says
    // (the parser consults it only with kUseDefaultExclude); when empty there is none.
    std::string DefaultListPath;
    // Full path of the secondary exclude list; loaded only when such a file exists. Empty: none.
    std::string SecondaryListPath;
    // Threads that read and parse pages: 0 for one per available processor, 1 for none besides
    // the calling thread. The result is the same whatever the number.
    int Jobs = 0;
};

// What the run shows and asks while it works. Every call comes from the thread running RunParse.
class TParseProgress {
public:
    virtual ~TParseProgress() = default;
    // Lets the GUI's event loop run; called at the start of each file, right before
    // CancelRequested is read.
    virtual void PumpEvents() {}
    // Called about every 50 ms while the run waits for a page that a worker thread is still
    // reading, so that a window stays responsive; a cancel requested here takes effect at the
    // start of the next file, as one requested during the page's parse would.
    virtual void PumpWhileWaiting() {}
    // Whether the user asked to stop; read at the start of each file, after PumpEvents.
    virtual bool CancelRequested() { return false; }
    // The file being parsed (its topic entry), then the run's closing message.
    virtual void ShowMessage(std::string_view /*text*/) {}
    // After each finished file: "%d of %d Topic Files Parsed" and the progress position (the
    // number of files finished).
    virtual void ShowCount(std::string_view /*countText*/, int /*position*/) {}
    // The words of the entries created by the file just merged (the word view appends them).
    virtual void NewWords(const std::vector<std::string_view>& /*words*/) {}
    // The run has sorted the word list; the word view switches to sorted display.
    virtual void WordsSorted() {}
    // A failure the user must hear about when it happens; the run goes on after it. Today that is
    // a topic file that could not be opened or read (UnopenedFileMessage). The dialog shows it in
    // an error box, the command line on stderr: every front end decides, none may drop it.
    virtual void ReportError(std::string_view text) = 0;
};

// How a run ended.
enum class ParseEnd {
    NoFolder,   // the project folder does not exist: nothing was parsed or changed
    Completed,  // every topic file was parsed
    Canceled,   // the user canceled; the files parsed so far are merged and sorted
};

struct TParseResult {
    ParseEnd End = ParseEnd::NoFolder;
    int FileCount = 0;  // topic files of the run
    int FileIndex = 0;  // topic files finished (the count text's first number)
    // "OK" / "Canceled" (the dialog's button caption); empty after NoFolder.
    std::string ResultCaption;
    // "HTML Files Successfully Parsed." / "User Canceled Parsing."; empty after NoFolder.
    std::string ResultMessage;
    // The topic files that could not be opened (each reported through ReportError), in order.
    std::vector<TopicIndex> UnopenedFiles;
};

// The texts of the run.
inline constexpr std::string_view kParseOkCaption = "OK";
inline constexpr std::string_view kParseCanceledCaption = "Canceled";
inline constexpr std::string_view kParseOkMessage = "HTML Files Successfully Parsed.";
inline constexpr std::string_view kParseCanceledMessage = "User Canceled Parsing.";

// "Could not open file\n" and the path: what the user is told about a topic file that cannot be
// opened or read.
std::string UnopenedFileMessage(std::string_view path);
// "%d of %d Topic Files Parsed".
std::string ParseCountText(int finished, int total);
// How the minutes of an elapsed time of an hour or more are written: the parse dialog's "2m", the
// build dialog's "02m".
enum class LapsedMinutes { AsIs, TwoDigits };
// A run dialog's elapsed-time line for a number of seconds: "Lapsed Time = %dm : %0.2ds", with
// "%dh : " before the minutes from one hour on.
std::string LapsedTimeText(int seconds, LapsedMinutes minutes = LapsedMinutes::AsIs);
// The folder holding the project file: the path up to its last "/"; "." for a bare file name.
std::string ProjectFolderOf(std::string_view projectFile);

// Runs a parse. The order: a missing project folder ends the run at once (ParseEnd::NoFolder);
// the default list is loaded (EFOpenError escapes, before the word list is touched), then the
// secondary list if its file exists; the word list is cleared; each topic file is parsed and
// merged (asset entries, see IsAssetEntry, count as parsed without being opened); the word list
// is sorted. Unopenable topic files are reported through `progress` and the run goes on.
// Errors other than unopenable topic files (out of memory) escape; the word list then holds what
// was merged so far.
// Pages are read and parsed on input.Jobs worker threads, but merged strictly in topic-list order
// on the calling thread, which alone calls `progress`: the word list, the messages,
// their order and the point where a cancel takes effect are those of a run on one thread.
TParseResult RunParse(const TdlgParse_InitData& input, TParseProgress& progress);

}  // namespace tarnwick
