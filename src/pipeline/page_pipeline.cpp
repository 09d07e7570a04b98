#include "pipeline/page_pipeline.h"

#include <algorithm>

#include "platform/os.h"

namespace tarnwick {

TPagePipeline::TPagePipeline(const TPageSource& source, int jobs)
    : source_(source), count_(source.Files ? source.Files->size() : 0) {
    // Threads pay only when there are pages to share out.
    const size_t workers = jobs > 1 && count_ > 1 ? std::min(static_cast<size_t>(jobs), count_) : 0;
    const size_t window =
        workers == 0
            ? 1
            : std::max({kMinWindow, 2 * workers, std::min(kMaxWindow, workers * kWindowPerJob)});
    slots_.reserve(window);
    for (size_t i = 0; i < window; ++i) {
        slots_.push_back(std::make_unique<Slot>());
    }
    if (workers == 0) {
        ownParser_ = std::make_unique<THtmlParser>(kLexiconBytes, source.Rules);
        return;
    }
    lexiconBytes_ = std::max(kMinLexicon, kLexiconBytes / workers);
    workers_.reserve(workers);
    try {
        for (size_t i = 0; i < workers; ++i) {
            workers_.emplace_back(&TPagePipeline::Work, this);
        }
    } catch (...) {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        roomFree_.notify_all();
        for (std::thread& worker : workers_) {
            worker.join();
        }
        throw;
    }
}

TPagePipeline::~TPagePipeline() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    roomFree_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void TPagePipeline::Parse(THtmlParser& parser, TFileWords& gathered, size_t index,
                          TParsedPage& page) const {
    page.Unopenable = false;
    page.Error = nullptr;
    page.Path.clear();
    try {
        gathered.Clear();
        page.Words.Clear();
        const std::string& item = (*source_.Files)[index];
        // Images, style sheets and scripts listed in [FILES] are not pages: they count as
        // parsed but are never opened.
        if (IsAssetEntry(item)) {
            return;
        }
        page.Path = source_.Folder + "/" + ToOpenPath(item);
        if (!parser.ParseTopicFile(page.Path, gathered, source_.DefaultList, source_.SecondaryList,
                                   source_.Options)) {
            page.Unopenable = true;
        }
        if (&gathered != &page.Words) {
            page.Words.TakeWords(gathered);
        }
    } catch (...) {
        // The run raises this before it would merge the page's words.
        page.Error = std::current_exception();
    }
}

void TPagePipeline::Work() {
    THtmlParser parser(lexiconBytes_, source_.Rules);
    // The worker's own, so that the tables every word of every page is looked up in stay in
    // this processor's caches; each page's words then go to the page's slot.
    TFileWords gathered;
    const size_t window = slots_.size();
    for (;;) {
        size_t index = 0;
        {
            std::unique_lock lock(mutex_);
            while (!stop_ && nextToClaim_ < count_ && nextToClaim_ >= released_ + window) {
                ++idleWorkers_;
                roomFree_.wait(lock);
                --idleWorkers_;
            }
            if (stop_ || nextToClaim_ >= count_) {
                return;
            }
            index = nextToClaim_++;
        }
        // The slot is this worker's alone until it is marked done.
        Slot& slot = *slots_[index % window];
        Parse(parser, gathered, index, slot.Page);
        std::lock_guard lock(mutex_);
        slot.Done = true;
        if (index >= awaited_) {
            pageDone_.notify_one();
        }
    }
}

TParsedPage& TPagePipeline::Next(const std::function<void()>& idle) {
    const size_t index = nextToHand_++;
    if (workers_.empty()) {
        TParsedPage& page = slots_.front()->Page;
        Parse(*ownParser_, page.Words, index, page);
        return page;
    }
    const size_t window = slots_.size();
    Slot& slot = *slots_[index % window];
    std::unique_lock lock(mutex_);
    if (index > 0) {
        // Give up the previous page: its slot takes a later page. Waking the workers only once
        // half the window is free saves a wake-up per page when they are ahead.
        slots_[(index - 1) % window]->Done = false;
        released_ = index;
        const size_t room = released_ + window - std::min(nextToClaim_, released_ + window);
        if (idleWorkers_ > 0 && (room >= window / 2 || nextToClaim_ <= index)) {
            roomFree_.notify_all();
        }
    }
    if (!slot.Done) {
        // The workers are behind: wait until half a window more is parsed (or the page, should
        // it come last), so that this thread wakes once per batch of pages, not once per page.
        awaited_ = std::min(index + window / 2, count_ - 1);
        // `idle` runs every kIdleInterval of waiting, however often the thread is woken.
        auto due = std::chrono::steady_clock::now() + kIdleInterval;
        while (!slot.Done) {
            const bool woken = pageDone_.wait_until(lock, due) == std::cv_status::no_timeout;
            if (slot.Done) {
                break;
            }
            if (woken) {
                awaited_ = index;  // a later page came first
            }
            if (std::chrono::steady_clock::now() >= due) {
                if (idle) {
                    lock.unlock();
                    idle();
                    lock.lock();
                }
                due = std::chrono::steady_clock::now() + kIdleInterval;
            }
        }
        awaited_ = SIZE_MAX;
    }
    return slot.Page;
}

}  // namespace tarnwick
