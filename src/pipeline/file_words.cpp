#include "pipeline/file_words.h"

#include <algorithm>
#include <cstring>

#include "support/word_compare.h"

namespace tarnwick {

void TFileWords::OfferNew(size_t at, std::uint64_t hash, std::string_view word, TLexicon& lexicon,
                          const TWordFilter& filter) {
    if (!pending_.empty() &&
        (pendingLexicon_ != &lexicon || pendingFilter_.Id != filter.Id ||
         pendingFilter_.Passes != filter.Passes || pendingFilter_.Context != filter.Context)) {
        Settle();
    }
    pendingLexicon_ = &lexicon;
    pendingFilter_ = filter;
    spellings_.Place(at, word, hash, word);
    pending_.push_back({word, hash, static_cast<std::uint32_t>(spellings_.Size() - 1)});
    // A page of very many words settles as it goes, so that what waits stays small.
    if (pending_.size() >= kMaxPending) {
        Settle();
    }
}

void TFileWords::Settle() {
    if (pending_.empty()) {
        return;
    }
    if (!store_) {
        store_ = pendingLexicon_->StoreForFile();
    }
    TLexiconStore& store = *store_;
    // The lookups run in a pipeline: a few spellings ahead the table slot is asked for, nearer
    // the record it names, nearer still that record's text, so that the memory waits of
    // several spellings overlap. The spellings are still looked up in the order offered.
    constexpr size_t kSlotAhead = 12;
    constexpr size_t kRecordAhead = 8;
    constexpr size_t kTextAhead = 4;
    const size_t count = pending_.size();
    for (size_t i = 0; i < std::min(count, kSlotAhead); ++i) {
        store.PrefetchSlot(pending_[i].Hash);
    }
    for (size_t i = 0; i < count; ++i) {
        if (i + kSlotAhead < count) {
            store.PrefetchSlot(pending_[i + kSlotAhead].Hash);
        }
        if (i + kRecordAhead < count) {
            store.PrefetchRecord(pending_[i + kRecordAhead].Hash);
        }
        if (i + kTextAhead < count) {
            store.PrefetchText(pending_[i + kTextAhead].Hash);
        }
        const Pending& pending = pending_[i];
        const std::uint32_t id = store.Intern(pending.Word, pending.Hash);
        // From now on the slot holds the store's copy, not the caller's bytes.
        spellings_.Repoint(pending.Number, store.SpellingAt(id).Text);
        Take(id, pendingFilter_);
    }
    pending_.clear();
}

TFileWords::Outcome TFileWords::Take(std::uint32_t id, const TWordFilter& filter) {
    TLexiconStore::Spelling& spelling = store_->SpellingAt(id);
    const std::string_view key = spelling.KeyView();
    const TViewSet::Insertion taken = keys_.InsertCopyIf(
        key, spelling.KeyHash,
        [&] {
            if (!filter.Passes) {
                return true;
            }
            if (filter.Id == 0 || spelling.Verdict >> 1 != filter.Id) {
                const bool passes =
                    filter.Passes(filter.Context, spelling.View(), key, spelling.KeyHash);
                spelling.Verdict = filter.Id << 1 | (passes ? 1 : 0);
            }
            return (spelling.Verdict & 1) != 0;
        },
        [key] { return key; });
    if (taken == TViewSet::Insertion::Present) {
        return Outcome::Present;  // another spelling of the word came first
    }
    if (taken == TViewSet::Insertion::Refused) {
        return Outcome::Rejected;
    }
    words_.push_back({spelling.View(), key, spelling.KeyHash, id});
    sorted_ = false;
    return Outcome::Added;
}

bool TFileWords::HasSpelling(std::string_view word) const {
    return !spellings_.IsFree(spellings_.Probe(word, HashText(word)));
}

void TFileWords::Clear() {
    // A page with very many words should not leave its memory behind for the pages after it,
    // nor a table the pages after it would probe out of the cache.
    if (words_.capacity() > kKeptWords && words_.size() * 4 < words_.capacity()) {
        words_ = std::vector<TFileWord>();
    }
    spellings_.Clear();
    keys_.Clear();
    words_.clear();
    pending_.clear();
    store_.reset();
    sorted_ = true;
}

void TFileWords::TakeWords(TFileWords& from) {
    from.Settle();
    Clear();
    // A copy of its own size: a set that is handed pages keeps no room beyond their words.
    words_ = std::vector<TFileWord>(from.words_);
    store_ = std::move(from.store_);
    sorted_ = from.sorted_;
    from.Clear();
}

const std::vector<TFileWord>& TFileWords::SortedWords() {
    if (!sorted_) {
        SortByKey(words_, [](const TFileWord& word) { return word.Key; });
        sorted_ = true;
    }
    return words_;
}

}  // namespace tarnwick
