#include "pipeline/parse_run.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>

#include "pipeline/exclude_list.h"
#include "pipeline/file_words.h"
#include "pipeline/page_pipeline.h"
#include "platform/os.h"
#include "support/utils.h"
#include "support/word_compare.h"

namespace tarnwick {

std::string UnopenedFileMessage(std::string_view path) {
    return "Could not open file\n" + std::string(path);
}

std::string ParseCountText(int finished, int total) {
    char text[64];
    std::snprintf(text, sizeof text, "%d of %d Topic Files Parsed", finished, total);
    return text;
}

std::string LapsedTimeText(int seconds, LapsedMinutes minutes) {
    const int h = seconds / 3600;
    const int m = (seconds / 60) % 60;
    const int s = seconds % 60;
    char text[64];
    if (h > 0) {
        std::snprintf(text, sizeof text,
                      minutes == LapsedMinutes::TwoDigits ? "Lapsed Time = %dh : %.2dm : %.2ds"
                                                          : "Lapsed Time = %dh : %dm : %.2ds",
                      h, m, s);
    } else {
        std::snprintf(text, sizeof text, "Lapsed Time = %dm : %.2ds", m, s);
    }
    return text;
}

std::string ProjectFolderOf(std::string_view projectFile) {
    const size_t slash = projectFile.rfind('/');
    if (slash == std::string_view::npos) {
        return ".";  // a bare file name lies in the current folder
    }
    if (slash == 0) {
        return "/";
    }
    return std::string(projectFile.substr(0, slash));
}

namespace {

// The words of a page merged between two looks at the events.
constexpr size_t kMergePart = 8192;

}  // namespace

TParseResult RunParse(const TdlgParse_InitData& input, TParseProgress& progress) {
    if (!input.WordList) {
        throw std::invalid_argument("RunParse needs a word list");
    }
    TParseResult result;
    const std::string folder = ProjectFolderOf(input.ProjectFile);
    if (!FolderExists(folder)) {
        return result;  // nothing parsed, nothing changed
    }

    // The default list is loaded whatever the options say; an unreadable one ends the run here,
    // before the word list is touched.
    // The lists' words are compared as the project's words are.
    const WordCollator& collator = WordCollator::For(input.Rules.CodePage);
    std::unique_ptr<TExcludeList> defaultList;
    if (!input.DefaultListPath.empty()) {
        defaultList = std::make_unique<TExcludeList>(input.DefaultListPath, collator);
    }
    std::unique_ptr<TExcludeList> secondaryList;
    if (!input.SecondaryListPath.empty() && FileExists(input.SecondaryListPath)) {
        secondaryList = std::make_unique<TExcludeList>(input.SecondaryListPath, collator);
    }

    TWordList& wordList = *input.WordList;
    wordList.ClearWordList();
    const TWordList::NewWordsSink newWords = [&progress](const std::vector<std::string_view>& w) {
        progress.NewWords(w);
    };

    static const std::vector<std::string> kNoFiles;
    const std::vector<std::string>& files = input.Files ? *input.Files : kNoFiles;
    result.FileCount = static_cast<int>(files.size());
    TPageSource source;
    source.Folder = folder;
    source.Files = &files;
    source.DefaultList = defaultList.get();
    source.SecondaryList = secondaryList.get();
    source.Options = input.Options;
    source.Rules = input.Rules;
    const int jobs = input.Jobs > 0 ? input.Jobs : AvailableProcessors();
    TPagePipeline pages(source, jobs);
    const std::function<void()> idle = [&progress] { progress.PumpWhileWaiting(); };
    int fileIndex = 0;
    while (fileIndex < result.FileCount) {
        // The one point where a cancel takes effect: the file under way is always finished.
        progress.PumpEvents();
        if (progress.CancelRequested()) {
            break;
        }
        const std::string& item = files[static_cast<size_t>(fileIndex)];
        progress.ShowMessage(item);
        TParsedPage& page = pages.Next(idle);
        if (page.Error) {
            std::rethrow_exception(page.Error);
        }
        if (page.Unopenable) {
            progress.ReportError(UnopenedFileMessage(page.Path));
            result.UnopenedFiles.push_back(static_cast<TopicIndex>(fileIndex));
        }
        // A page of very many new words (a listing with its line numbers kept) takes a while to
        // merge: it goes in parts, with the events seen to in between. A Cancel among them still
        // waits for the whole page.
        const size_t words = page.Words.Count();
        for (size_t from = 0; from == 0 || from < words; from += kMergePart) {
            if (from > 0) {
                progress.PumpEvents();
            }
            wordList.MergeFileWords(page.Words, static_cast<TopicIndex>(fileIndex), newWords, from,
                                    kMergePart);
        }
        progress.ShowCount(ParseCountText(fileIndex + 1, result.FileCount), fileIndex + 1);
        ++fileIndex;
    }
    result.FileIndex = fileIndex;
    // After a Cancel the workers would go on reading pages ahead, on the processors the sort
    // needs.
    pages.Stop();

    // The sort of a large list and its hand-over to the window each take a while: the events
    // are seen to between the two. What the window shows meanwhile is its own copy of the words
    // in the order they came, which the sort leaves alone; the new order reaches it at
    // WordsSorted.
    wordList.SortWordList(jobs);
    progress.PumpEvents();
    progress.WordsSorted();

    if (fileIndex < result.FileCount) {
        result.End = ParseEnd::Canceled;
        result.ResultCaption = kParseCanceledCaption;
        result.ResultMessage = kParseCanceledMessage;
    } else {
        result.End = ParseEnd::Completed;
        result.ResultCaption = kParseOkCaption;
        result.ResultMessage = kParseOkMessage;
    }
    progress.ShowMessage(result.ResultMessage);
    return result;
}

}  // namespace tarnwick
