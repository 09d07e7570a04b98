// TPagePipeline: reads and parses the topic files of a parse run on worker threads and hands the
// parsed pages to the run one by one, strictly in topic-list order, so that the run merges
// exactly what a single thread would have merged, in the same order. Workers run ahead of the
// merge by at most a window of pages, which bounds the memory of a run.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/file_words.h"
#include "pipeline/html_parser.h"

namespace tarnwick {

class TExcludeList;

// One topic file, parsed.
struct TParsedPage {
    TFileWords Words;
    // The file could not be opened or read; the run reports Path to the user.
    bool Unopenable = false;
    // The joined path the page was read from.
    std::string Path;
    // An error other than an unopenable file (out of memory); the run raises it when it comes
    // to this page.
    std::exception_ptr Error;
};

// What the pipeline parses: the topic entries, joined to the folder, with the run's filters.
struct TPageSource {
    std::string Folder;
    const std::vector<std::string>* Files = nullptr;
    const TExcludeList* DefaultList = nullptr;
    const TExcludeList* SecondaryList = nullptr;
    ParseOptions Options = 0;
    TTextRules Rules;
};

class TPagePipeline {
public:
    // Starts the workers: `jobs` threads (no more than there are pages), or none for 1 job or a
    // single page, when Next parses each page itself on the calling thread. `source` and the
    // lists it names must outlive the pipeline. `maxWordsAhead` is the bound on the words of the
    // pages parsed ahead (see kWindow).
    TPagePipeline(const TPageSource& source, int jobs, size_t maxWordsAhead = kMaxWordsAhead);
    // Stops the workers after the pages they are reading and waits for them.
    ~TPagePipeline();
    TPagePipeline(const TPagePipeline&) = delete;
    TPagePipeline& operator=(const TPagePipeline&) = delete;

    // The next page in topic-list order (page 0 first; at most one call per page). The page
    // returned by the previous call is given up. Asset entries (IsAssetEntry) come back empty
    // without being opened. While the page is still being parsed, `idle` is called about every
    // kIdleInterval.
    TParsedPage& Next(const std::function<void()>& idle);
    // Lets the workers take no more pages: each finishes the page it is reading and ends. For a
    // run that stops early, so that pages nobody will merge no longer take the processors from
    // what the run does next. No Next after it.
    void Stop();

    static constexpr std::chrono::milliseconds kIdleInterval{50};
    // How far the workers may parse ahead of the merge: at most kWindow pages, and beyond the
    // first kBatch of them no more while the pages parsed and not yet merged hold kMaxWordsAhead
    // words (each page in flight holds its words). The window is wide because one very large
    // page holds up the merge of every page after it: the other workers go on meanwhile, and
    // it is the words they gather, not their number of pages, that must stay bounded. It is no
    // wider because the merge would then read words long gone from the processors' caches.
    static constexpr size_t kWindow = 512;
    static constexpr size_t kMaxWordsAhead = 1 << 19;
    // The run's thread, when it waits for pages, wakes for a batch of them rather than for
    // each; the workers, when they wait for room, wake for a batch of free slots.
    static constexpr size_t kBatch = 32;
    // The memory of the parsers' lexicons together (each gets its share, at least kMinLexicon).
    static constexpr size_t kLexiconBytes = 8 << 20;
    static constexpr size_t kMinLexicon = 1 << 20;

private:
    struct Slot {
        TParsedPage Page;
        bool Done = false;  // guarded by mutex_
        size_t Words = 0;   // how many words the page holds, once done; guarded by mutex_
    };
    // Whether a worker may take the next page; with mutex_ held.
    bool MayClaim() const;

    void Work();
    // Parses page `index` into `page`, gathering its words in `gathered` (which may be the
    // page's own).
    void Parse(THtmlParser& parser, TFileWords& gathered, size_t index, TParsedPage& page) const;

    const TPageSource& source_;
    const size_t count_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::unique_ptr<THtmlParser> ownParser_;  // without workers
    size_t lexiconBytes_ = kLexiconBytes;     // each worker's parser's
    const size_t maxWordsAhead_;

    std::mutex mutex_;
    std::condition_variable pageDone_;
    std::condition_variable roomFree_;
    size_t nextToClaim_ = 0;     // the next page a worker takes
    size_t released_ = 0;        // pages given up by the run: their slots are free
    size_t awaited_ = SIZE_MAX;  // the page the run waits for
    size_t idleWorkers_ = 0;     // workers waiting for room in the window
    size_t wordsAhead_ = 0;      // the words of the pages done and not yet given up
    bool stop_ = false;
    size_t nextToHand_ = 0;  // the run's thread only
    std::vector<std::thread> workers_;
};

}  // namespace tarnwick
