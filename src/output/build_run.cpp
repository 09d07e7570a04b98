#include "output/build_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <limits>
#include <new>
#include <stdexcept>
#include <system_error>

#include "output/html_index_file.h"
#include "output/map_file.h"
#include "output/output_names.h"
#include "pipeline/parse_run.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "support/ansi_case.h"

namespace tarnwick {
namespace {

int DecimalDigits(int value) {
    int digits = 1;
    for (long long rest = value < 0 ? -static_cast<long long>(value) : value; rest >= 10;
         rest /= 10) {
        ++digits;
    }
    return digits;
}

// The project's folder with its trailing "/"; empty for a bare file name, which leaves the
// output files in the current folder beside the project.
std::string_view ProjectFolderPrefix(std::string_view projectFile) {
    const size_t slash = projectFile.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : projectFile.substr(0, slash + 1);
}

// The text the user sees for a failure that ended the index run.
std::string IndexErrorText(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EFileError& e) {
        // The file layer's create, open and write errors carry their own texts.
        return e.what();
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (...) {
        return "Unknown exception.";
    }
}

// The text the user sees for a failure of one map file.
std::string MapErrorText(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EMapFileError& e) {
        return e.what();
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (...) {
        return "Unknown exception.";
    }
}

// The path lexically normalised: "." and empty parts dropped, ".." taking back the part before
// it. Sets `escapes` when a ".." climbs above the start.
std::string NormalisedRelative(std::string_view path, bool& escapes) {
    std::vector<std::string_view> parts;
    escapes = false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (parts.empty()) {
                escapes = true;
            } else {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string joined;
    for (const std::string_view part : parts) {
        if (!joined.empty()) {
            joined += '/';
        }
        joined += part;
    }
    return joined;
}

// `work` run on a thread of its own, or, when no thread is to be had, by the first wait for its
// result.
template <class Work>
auto OnItsOwnThread(const Work& work) -> std::future<decltype(work())> {
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, work);
    }
}

}  // namespace

std::string OutputNameProblem(std::string_view projectFile, std::string_view name,
                              const std::vector<std::string>& topics) {
    const std::string shown = "\"" + std::string(TrimBlanks(name)) + "\" was not written: ";
    const std::string relative = ToOpenPath(TrimBlanks(name));
    bool escapes = false;
    const std::string normalised = NormalisedRelative(relative, escapes);
    if (escapes || relative.empty() || relative.front() == '/' || normalised.empty()) {
        return shown + "it lies outside the project's folder.";
    }
    const std::string folder(ProjectFolderPrefix(projectFile));
    const std::string path = folder + relative;
    if (IsSymbolicLink(path)) {
        return shown + "it is a symbolic link.";
    }
    const bool exists = PathExists(path);
    const std::string projectName(FileNamePart(projectFile));
    if (normalised == projectName || (exists && IsSameFile(path, std::string(projectFile)))) {
        return shown + "it is the project file.";
    }
    const std::string_view outputName = FileNamePart(normalised);
    for (const std::string& topic : topics) {
        bool topicEscapes = false;
        const std::string topicPath = NormalisedRelative(ToOpenPath(topic), topicEscapes);
        if (topicPath == normalised) {
            return shown + "it is one of the project's topic files.";
        }
        // A topic a Windows-written project spells in other letter case is the same file here
        // when it resolves to it.
        if (exists && EqualsAsciiNoCase(FileNamePart(topicPath), outputName)) {
            const std::string resolved = ResolvePathIgnoringCase(folder + ToOpenPath(topic));
            if (!resolved.empty() && IsSameFile(resolved, path)) {
                return shown + "it is one of the project's topic files.";
            }
        }
    }
    return {};
}

std::string BackupNote(std::string_view name, std::string_view backupPath) {
    return std::string(FileNamePart(name)) + ": previous version kept as " +
           std::string(FileNamePart(backupPath));
}

std::string BuildCountText(int wordsDone, int wordCount, int fileCount) {
    char text[96];
    std::snprintf(text, sizeof text, "%*d of %d Words Inserted From %d Files",
                  DecimalDigits(wordCount), wordsDone, wordCount, fileCount);
    return text;
}

TCountLine::TCountLine(int wordCount, int fileCount)
    : width_(DecimalDigits(wordCount)), wordCount_(wordCount), fileCount_(fileCount) {
    char tail[64];
    std::snprintf(tail, sizeof tail, " of %d Words Inserted From %d Files", wordCount, fileCount);
    tail_ = tail;
}

std::string_view TCountLine::For(int wordsDone) {
    if (wordsDone < 0) {
        text_ = BuildCountText(wordsDone, wordCount_, fileCount_);
        return text_;
    }
    // Called once per word of a big index: digits by hand, the rest of the line made once.
    char digits[16];
    char* first = std::end(digits);
    unsigned value = static_cast<unsigned>(wordsDone);
    do {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    const size_t length = static_cast<size_t>(std::end(digits) - first);
    text_.assign(length < static_cast<size_t>(width_) ? static_cast<size_t>(width_) - length : 0,
                 ' ');
    text_.append(first, length);
    text_ += tail_;
    return text_;
}

std::string BuildLapsedTimeText(int seconds) {
    return LapsedTimeText(seconds, LapsedMinutes::TwoDigits);
}

std::string IndexFilePath(std::string_view projectFile, std::string_view indexFile) {
    const std::string name = ChangeFileExtension(TrimBlanks(indexFile), ".hhk");
    // A name with nothing before its extension (none at all, ".hhk", "html\") names no file.
    if (FileNamePart(name) == ".hhk") {
        return {};
    }
    return std::string(ProjectFolderPrefix(projectFile)) + name;
}

std::string MapFilePath(std::string_view projectFile, std::string_view mapName) {
    return std::string(ProjectFolderPrefix(projectFile)) + std::string(mapName);
}

TBuildRun::TBuildRun(const TdlgBuildNdx_InitData& input, TBuildProgress& progress)
    : input_(input), progress_(progress) {}

int TBuildRun::FileCount() const {
    return input_.Files ? static_cast<int>(input_.Files->size()) : 0;
}

TFileSystem& TBuildRun::FileSystem() const {
    return input_.FileSystem ? *input_.FileSystem : TFileSystem::Default();
}

const std::vector<std::string>& TBuildRun::Topics() const {
    static const std::vector<std::string> kNoTopics;
    return input_.Files ? *input_.Files : kNoTopics;
}

const std::string& TBuildRun::TopicName(TopicIndex topic) const {
    if (!input_.Files || topic >= input_.Files->size()) {
        throw std::out_of_range("topic index outside the topic list");
    }
    return (*input_.Files)[topic];
}

void TBuildRun::SetMessage(std::string text) {
    result_.Message = std::move(text);
    progress_.ShowMessage(result_.Message);
}

void TBuildRun::ReportError(std::string_view text) {
    result_.BoxMessages.emplace_back(text);
    progress_.ReportError(text);
}

void TBuildRun::ShowWordCount() {
    if (input_.BuildIndex) {
        if (!countLine_) {
            countLine_.emplace(result_.WordCount, FileCount());
        }
        progress_.ShowCount(countLine_->For(result_.WordsDone), progressPosition_);
    } else {
        progress_.ShowCount({}, progressPosition_);
    }
}

void TBuildRun::StepProgress() {
    progressPosition_ = std::min(progressPosition_ + 1, progressMaximum_);
    ShowWordCount();
}

TBuildResult TBuildRun::Run() {
    const bool hasInput = !input_.ProjectFile.empty() || !TrimBlanks(input_.IndexFile).empty() ||
                          input_.Words != nullptr || input_.Files != nullptr;
    if (!hasInput || (!input_.BuildIndex && !input_.BuildMap)) {
        // Nothing to do still has to end with a button that closes the dialog.
        result_.ResultCaption = kBuildOkCaption;
        SetMessage(std::string(kNothingToBuildMessage));
        return result_;
    }
    progressMaximum_ = 0;
    progressPosition_ = 0;
    if (input_.BuildIndex) {
        progressMaximum_ = input_.Words ? static_cast<int>(input_.Words->size()) : 0;
    }
    if (input_.BuildMap) {
        progressMaximum_ += 2;
    }
    progress_.SetProgressMaximum(progressMaximum_);
    if (input_.BuildIndex) {
        RunIndex();
    }
    if (input_.BuildMap) {
        RunMapFiles();
    }
    if (!result_.Notes.empty()) {
        std::string message = result_.Message;
        for (const std::string& note : result_.Notes) {
            message += "\n" + note;
        }
        SetMessage(std::move(message));
    }
    return result_;
}

void TBuildRun::RunIndex() {
    result_.WordCount = input_.Words ? static_cast<int>(input_.Words->size()) : 0;
    result_.WordsDone = 0;

    const std::string path = IndexFilePath(input_.ProjectFile, input_.IndexFile);
    if (path.empty()) {
        // A project without an index file name would get a file called ".hhk" that no project
        // refers to; tell the author what to add instead.
        result_.Index = IndexEnd::Failed;
        result_.ResultCaption = kBuildAbortedCaption;
        SetMessage(std::string(kNoIndexNameMessage));
        ReportError(kNoIndexNameMessage);
        return;
    }
    result_.IndexPath = ToOpenPath(path);
    const std::string problem = OutputNameProblem(
        input_.ProjectFile, ChangeFileExtension(TrimBlanks(input_.IndexFile), ".hhk"), Topics());
    if (!problem.empty()) {
        result_.Index = IndexEnd::Failed;
        result_.ResultCaption = kBuildAbortedCaption;
        SetMessage(std::string(kIndexProblemPrefix) + problem);
        result_.Errors.push_back(result_.Message);
        return;
    }
    if (result_.WordCount == 0) {
        // A project without topics, or whose every word is excluded: writing would replace the
        // author's index with an empty one.
        result_.Index = IndexEnd::NotWritten;
        result_.ResultCaption = kBuildOkCaption;
        std::string message(kNoWordsMessage);
        if (FileExists(result_.IndexPath)) {
            message += "\n\"" + std::string(FileNamePart(path)) + "\" is left as it was.";
        }
        SetMessage(message);
        result_.Errors.push_back(std::move(message));
        return;
    }

    std::string errorText;
    bool succeeded = false;
    try {
        // A big index's size is a walk over millions of postings, and opening the file reads the
        // whole folder (for what an interrupted write left there): the two go on at once.
        std::future<std::uint64_t> size = IndexFileSizeSoon();
        THtmlIndexFile file(result_.IndexPath, FileSystem());
        file.Reserve(size.get());
        file.WriteHeader();
        while (result_.WordsDone < result_.WordCount) {
            progress_.PumpEvents();
            if (progress_.CancelRequested()) {
                break;
            }
            const TIndexEntry& entry = input_.Words->Entry(static_cast<size_t>(result_.WordsDone));
            for (const TopicIndex topic : entry.Files) {
                file.WriteEntry(entry.Word, TopicName(topic));
            }
            StepProgress();
            ++result_.WordsDone;
        }
        StepProgress();
        file.WriteFooter();
        CloseSeeingToEvents([&file] { file.Close(); });
        if (!file.BackupPath().empty()) {
            result_.Notes.push_back(BackupNote(path, file.BackupPath()));
        }
        succeeded = true;
    } catch (...) {
        errorText = IndexErrorText(std::current_exception());
    }

    if (!succeeded) {
        result_.Index = IndexEnd::Failed;
        result_.ResultCaption = kBuildAbortedCaption;
        SetMessage(std::string(kIndexProblemPrefix) + errorText);
        result_.Errors.push_back(result_.Message);
        return;
    }
    const bool canceled = result_.WordsDone < result_.WordCount;
    result_.Index = canceled ? IndexEnd::Canceled : IndexEnd::Completed;
    result_.ResultCaption = canceled ? kBuildCanceledCaption : kBuildOkCaption;
    SetMessage(std::string(kIndexCreatedMessage));
}

void TBuildRun::CloseSeeingToEvents(const std::function<void()>& close) {
    // Closing waits for the disk to take what is still in the system's cache, then for the folder
    // to record the new name: a fifth of a second for a big index on a slow disk, too long for a
    // window to go unanswered. The close goes on on a thread of its own meanwhile (without one, it
    // runs in get() and the window waits).
    std::future<void> closed = OnItsOwnThread(close);
    while (closed.wait_for(kClosePumpInterval) == std::future_status::timeout) {
        progress_.PumpEvents();
    }
    closed.get();
}

std::future<std::uint64_t> TBuildRun::IndexFileSizeSoon() const {
    const auto size = [this] { return IndexFileSize(); };
    return result_.WordCount >= kSizeAlongsideFrom ? OnItsOwnThread(size)
                                                   : std::async(std::launch::deferred, size);
}

std::uint64_t TBuildRun::IndexFileSize() const {
    // Millions of postings: the topic names' lengths are looked up in a small table of their own.
    std::vector<std::uint32_t> topicSizes;
    if (input_.Files) {
        topicSizes.reserve(input_.Files->size());
        for (const std::string& topic : *input_.Files) {
            topicSizes.push_back(static_cast<std::uint32_t>(
                std::min<size_t>(topic.size(), std::numeric_limits<std::uint32_t>::max())));
        }
    }
    std::uint64_t size = THtmlIndexFile::kHeaderSize + THtmlIndexFile::kFooterSize;
    for (int i = 0; i < result_.WordCount; ++i) {
        const TIndexEntry& entry = input_.Words->Entry(static_cast<size_t>(i));
        for (const TopicIndex topic : entry.Files) {
            // A topic outside the list stops the writing when it is reached; it adds nothing.
            if (topic < topicSizes.size()) {
                size += THtmlIndexFile::EntrySize(entry.Word.size(), topicSizes[topic]);
            }
        }
    }
    return size;
}

void TBuildRun::RunMapFiles() {
    const TMapSettings settings = input_.MapSettings ? input_.MapSettings() : TMapSettings();
    const std::vector<std::string>& topics = Topics();

    // The success phrases go in before the files are written; any failure replaces the whole
    // message with the failure texts.
    std::string message = result_.Message + "\n";
    std::string errorText;

    if (settings.Options & kMapAliasFiles) {
        const std::string aliasName(TrimBlanks(settings.AliasFile));
        if (!aliasName.empty()) {
            message += kAliasPhrase;
            try {
                const std::string problem =
                    OutputNameProblem(input_.ProjectFile, aliasName, topics);
                if (!problem.empty()) {
                    throw EMapFileError(problem);
                }
                TAliasFile alias(MapFilePath(input_.ProjectFile, aliasName), topics, FileSystem());
                alias.SetNameWidth(settings.MaxNameLength);
                alias.WriteMapFile(0);
                CloseSeeingToEvents([&alias] { alias.Close(); });
                if (!alias.BackupPath().empty()) {
                    result_.Notes.push_back(BackupNote(aliasName, alias.BackupPath()));
                }
            } catch (...) {
                const std::string text = MapErrorText(std::current_exception());
                result_.Errors.push_back(text);
                errorText = text + "\n";
            }
        } else {
            message = kNoAliasNameMessage;
            ReportError(kNoAliasNameMessage);
        }
        StepProgress();
    }

    if (settings.Options & (kMapAliasFiles | kMapTopicHeader)) {
        const std::string mapName(TrimBlanks(settings.MapFile));
        if (!mapName.empty()) {
            message += kMapPhrase;
            try {
                const std::string problem = OutputNameProblem(input_.ProjectFile, mapName, topics);
                if (!problem.empty()) {
                    throw EMapFileError(problem);
                }
                THeaderFile header(MapFilePath(input_.ProjectFile, mapName), topics, FileSystem());
                t_MapData data;
                data.ProjectFile = input_.ProjectFile;
                data.WindowName = settings.WindowName;
                data.InitialId = settings.InitialId;
                data.MaxNameLength = settings.MaxNameLength;
                header.SetMapData(data);
                header.WriteMapFile(settings.Options);
                CloseSeeingToEvents([&header] { header.Close(); });
                if (!header.BackupPath().empty()) {
                    result_.Notes.push_back(BackupNote(mapName, header.BackupPath()));
                }
            } catch (...) {
                const std::string text = MapErrorText(std::current_exception());
                result_.Errors.push_back(text);
                errorText += text;
            }
        } else {
            message = kNoMapNameMessage;
            ReportError(kNoMapNameMessage);
        }
        StepProgress();
    }

    StepProgress();
    if (!errorText.empty()) {
        message = errorText;
    }
    SetMessage(std::move(message));
    result_.ResultCaption = kBuildOkCaption;
}

}  // namespace tarnwick
