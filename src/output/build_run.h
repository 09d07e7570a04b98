// The build run: writes the .hhk index from the word list and the alias and header map files from
// the topic list. It knows nothing of windows: the build dialog (or the command line) shows its
// progress, pumps events and asks for a cancel through TBuildProgress, the same pattern as the
// parse run's TParseProgress.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/parse_options.h"
#include "pipeline/word_list.h"
#include "platform/file_system.h"

namespace tarnwick {

// The map settings as the main window holds them when the map run starts.
struct TMapSettings {
    // The option byte as GetOptions builds it; only kMapAliasFiles and kMapTopicHeader are read.
    ParseOptions Options = 0;
    // The alias and map file names the project gives (the scanner's captions; trimmed here).
    std::string AliasFile;
    std::string MapFile;
    // The help window name for the header file; may be empty.
    std::string WindowName;
    std::int32_t InitialId = 0;
    // Length of the longest topic entry (the scanner's MaxNameLength).
    std::int32_t MaxNameLength = 0;
};

// The input of a build, as the main window fills it. The referenced lists are borrowed and must
// not change during the run.
struct TdlgBuildNdx_InitData {
    bool BuildIndex = false;  // write the .hhk
    bool BuildMap = false;    // write the alias/map files
    // Path of the project file (a Linux path). Every output file goes to its folder; a bare file
    // name means the current folder.
    std::string ProjectFile;
    // The index file name the project gives (the scanner's caption; trimmed here). The index is
    // always written with the extension ".hhk".
    std::string IndexFile;
    const TWordList* Words = nullptr;
    // The topic files in the scanner's sorted order; an entry's TopicIndex is a position here.
    const std::vector<std::string>* Files = nullptr;
    // Called once when the map run starts, so that it writes with the settings of that moment.
    // Unset: no map choice, and the map run writes nothing.
    std::function<TMapSettings()> MapSettings;
    // Where the files are written; null for the real file system.
    TFileSystem* FileSystem = nullptr;
};

// What the run shows and asks while it works. Every call comes from the thread running it.
class TBuildProgress {
public:
    virtual ~TBuildProgress() = default;
    // Lets the GUI's event loop run; called before each word, right before CancelRequested, and
    // every 20 ms while a written file is closed (which waits for the disk and cannot be
    // canceled).
    virtual void PumpEvents() {}
    // Whether the user asked to stop; read before each word, after PumpEvents. The map run is
    // not cancellable.
    virtual bool CancelRequested() { return false; }
    // The progress bar's maximum, once at the start of the run (position 0).
    virtual void SetProgressMaximum(int /*maximum*/) {}
    // After each step: the count line ("%*d of %d Words Inserted From %d Files"; empty when no
    // index is built) and the progress position, which never passes the maximum.
    virtual void ShowCount(std::string_view /*countText*/, int /*position*/) {}
    // The message line changed (it may hold several lines separated by "\n" or "\r\n").
    virtual void ShowMessage(std::string_view /*text*/) {}
    // A failure the user must hear about when it happens, beyond the message line: a project
    // naming no index, alias or map file. The dialog shows it in an error box, the command line
    // on stderr: every front end decides, none may drop it.
    virtual void ReportError(std::string_view text) = 0;
};

// How the index part of a run ended.
enum class IndexEnd {
    NotRequested,  // no index was asked for (or the run had no input)
    Completed,     // every word was written
    Canceled,      // stopped by the user; the file holds the head, the words so far and the tail
    Failed,        // not written; see Errors. A previous index is left as it was
    NotWritten,    // no words to index: nothing written, a previous index left as it was
};

struct TBuildResult {
    // The caption the dialog's button takes: "OK", "Canceled" or "Aborted".
    std::string ResultCaption;
    // The final message line.
    std::string Message;
    IndexEnd Index = IndexEnd::NotRequested;
    // The index's path as opened; empty when no index was attempted.
    std::string IndexPath;
    int WordsDone = 0;
    int WordCount = 0;
    // Failures shown only in the message line (a file that could not be created or written), in
    // the order they happened: "A problem occured: ..." for the index, the map writers' texts.
    std::vector<std::string> Errors;
    // Texts also reported through the progress's ReportError (a project naming no index, alias
    // or map file name).
    std::vector<std::string> BoxMessages;
    // What the user should know although nothing failed: previous versions kept as ".bak".
    // They end the message line.
    std::vector<std::string> Notes;

    // Whether anything went wrong that the user must hear about.
    bool HasProblems() const { return !Errors.empty() || !BoxMessages.empty(); }
};

// The texts of the run.
inline constexpr std::string_view kBuildOkCaption = "OK";
inline constexpr std::string_view kBuildCanceledCaption = "Canceled";
inline constexpr std::string_view kBuildAbortedCaption = "Aborted";
inline constexpr std::string_view kIndexCreatedMessage = "Index Successfully Created.";
inline constexpr std::string_view kIndexProblemPrefix = "A problem occured: ";
inline constexpr std::string_view kAliasPhrase = "Alias File && ";  // a label shows "&&" as "&"
inline constexpr std::string_view kMapPhrase = "Map File Successfully Created.";
inline constexpr std::string_view kNoAliasNameMessage =
    "The alias file name was not found.\r\n"
    "Make sure file name is in the [ALIAS] section of the .hpp file.";
inline constexpr std::string_view kNoMapNameMessage =
    "The map file name was not found.\r\n"
    "Make sure file name is in the [MAP] section of the .hpp file.";
inline constexpr std::string_view kNoIndexNameMessage =
    "The index file name was not found.\r\n"
    "Make sure file name is in the [OPTIONS] section of the .hhp file.";
inline constexpr std::string_view kNothingToBuildMessage = "Nothing to build.";
// An empty index would replace a good one with nothing: it is not written.
inline constexpr std::string_view kNoWordsMessage = "No words to index: the index was not written.";

// "%*d of %d Words Inserted From %d Files": the words done right-aligned to the width of the word
// count.
std::string BuildCountText(int wordsDone, int wordCount, int fileCount);
// The count line of one index run, made quickly for each word: BuildCountText's text.
class TCountLine {
public:
    TCountLine(int wordCount, int fileCount);
    // The line for `wordsDone`; valid until the next call.
    std::string_view For(int wordsDone);

private:
    int width_;
    int wordCount_;
    int fileCount_;
    std::string tail_;
    std::string text_;
};
// The build dialog's elapsed-time line: "Lapsed Time = %dm : %0.2ds", from one hour on
// "Lapsed Time = %dh : %0.2dm : %0.2ds".
std::string BuildLapsedTimeText(int seconds);
// Where the index goes: the project's folder (up to its last "/"; none for a bare file name)
// followed by the index name with its extension made ".hhk", as the project spells it. Empty when
// the project names no index file, or a name with nothing before its extension (".hhk").
std::string IndexFilePath(std::string_view projectFile, std::string_view indexFile);
// Where a map file goes: the project's folder followed by the name as the project spells it.
std::string MapFilePath(std::string_view projectFile, std::string_view mapName);
// Why the output file `name` (as the project spells it, relative to the project's folder) must
// not be written, or an empty text when it may: a name that leads out of the project's folder,
// names the project file or one of its topic files, or ends in a symbolic link. The text names
// the file and the reason.
std::string OutputNameProblem(std::string_view projectFile, std::string_view name,
                              const std::vector<std::string>& topics);
// "<name>: previous version kept as <name>.bak", for a file replaced with different bytes.
std::string BackupNote(std::string_view name, std::string_view backupPath);

// One build, run once. The input and the progress sink must outlive the object.
class TBuildRun {
public:
    TBuildRun(const TdlgBuildNdx_InitData& input, TBuildProgress& progress);

    // The whole run: the progress maximum, RunIndex when BuildIndex, then RunMapFiles when
    // BuildMap (also after a canceled or failed index), then the notes. Never throws: every
    // failure ends in the result. With no input at all, or nothing requested, the caption is "OK"
    // and the message "Nothing to build.".
    TBuildResult Run();

    // The two halves, for callers that drive the run step by step; Run calls them.
    // Writes the index; failures become "Aborted" and "A problem occured: " with their text.
    void RunIndex();
    // Writes the alias and header files as the map settings of this moment say; not cancellable.
    void RunMapFiles();

    const TBuildResult& Result() const { return result_; }

    // From this many words on, the index file's size is worked out while the file is opened.
    static constexpr int kSizeAlongsideFrom = 1 << 15;

private:
    void StepProgress();
    void ShowWordCount();
    void SetMessage(std::string text);
    void ReportError(std::string_view text);
    int FileCount() const;
    const std::string& TopicName(TopicIndex topic) const;
    // The size of the whole index file the word list makes.
    std::uint64_t IndexFileSize() const;
    // The same, made on a thread of its own for a list of at least kSizeAlongsideFrom words.
    std::future<std::uint64_t> IndexFileSizeSoon() const;
    // Runs `close` (a written file's Close) while the events are seen to; its exception is
    // rethrown here.
    void CloseSeeingToEvents(const std::function<void()>& close);
    static constexpr std::chrono::milliseconds kClosePumpInterval{20};
    TFileSystem& FileSystem() const;
    const std::vector<std::string>& Topics() const;

    const TdlgBuildNdx_InitData& input_;
    TBuildProgress& progress_;
    TBuildResult result_;
    int progressMaximum_ = 0;
    int progressPosition_ = 0;
    std::optional<TCountLine> countLine_;
};

}  // namespace tarnwick
