#include "pipeline/page_pipeline.h"

#include <algorithm>

#include "platform/os.h"

namespace tarnwick {

TPagePipeline::TPagePipeline(const TPageSource& source, int jobs, size_t maxWordsAhead)
    : source_(source),
      count_(source.Files ? source.Files->size() : 0),
      maxWordsAhead_(maxWordsAhead) {
    // Threads pay only when there are pages to share out.
    const size_t workers = jobs > 1 && count_ > 1 ? std::min(static_cast<size_t>(jobs), count_) : 0;
    const size_t window = workers == 0 ? 1 : std::min(kWindow, count_);
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
        Stop();
        for (std::thread& worker : workers_) {
            worker.join();
        }
        throw;
    }
}

TPagePipeline::~TPagePipeline() {
    Stop();
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
            while (!stop_ && nextToClaim_ < count_ && !MayClaim()) {
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
        slot.Words = slot.Page.Words.Count();
        wordsAhead_ += slot.Words;
        if (index >= awaited_) {
            pageDone_.notify_one();
        }
    }
}

void TPagePipeline::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    roomFree_.notify_all();
}

bool TPagePipeline::MayClaim() const {
    // The first batch past the page the run merges is always open to the workers, so that the
    // pages it waits for are parsed however many words the later ones hold.
    return nextToClaim_ < released_ + slots_.size() &&
           (nextToClaim_ < released_ + kBatch || wordsAhead_ < maxWordsAhead_);
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
        // a batch of slots is free, and half the words ahead merged, saves a wake-up per page
        // when they are ahead; they are woken at once when this thread is about to wait for
        // pages they have not taken.
        Slot& previous = *slots_[(index - 1) % window];
        previous.Done = false;
        wordsAhead_ -= previous.Words;
        previous.Words = 0;
        released_ = index;
        const size_t room = released_ + window - std::min(nextToClaim_, released_ + window);
        if (idleWorkers_ > 0 && ((room >= kBatch && wordsAhead_ <= maxWordsAhead_ / 2) ||
                                 nextToClaim_ < index + kBatch)) {
            roomFree_.notify_all();
        }
    }
    if (!slot.Done) {
        // The workers are behind: wait until a batch more is parsed, so that this thread
        // wakes once per batch of pages, not once per page. A worker wakes it on finishing the
        // awaited page or a later one, so the awaited page must be one the workers may take
        // (the batch MayClaim keeps open) and one still to be finished: pages of the batch may
        // be done already, and the last of them may be the run's last.
        awaited_ = std::min(index + kBatch - 1, count_ - 1);
        while (slots_[awaited_ % window]->Done) {
            --awaited_;
        }
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
