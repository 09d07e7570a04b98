#include "pipeline/lexicon.h"

#include <algorithm>
#include <atomic>

#include "pipeline/text_hash.h"
#include "support/word_compare.h"

namespace tarnwick {

namespace {

std::uint64_t NextSerial() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

TLexiconStore::TLexiconStore(const WordCollator& collator)
    : collator_(collator), serial_(NextSerial()), slots_(kInitialSlots) {}

size_t TLexiconStore::Probe(std::string_view word, std::uint64_t hash) const {
    const std::uint32_t tag = Tag(hash);
    return slots_.Probe(tag, [&](const Slot& slot) {
        return slot.Tag == tag && SameText(SpellingAt(slot.IdPlusOne - 1).View(), word);
    });
}

void TLexiconStore::Grow() {
    slots_.Grow([](const Slot& slot) { return std::uint64_t{slot.Tag}; });
}

std::uint32_t TLexiconStore::Intern(std::string_view word, std::uint64_t hash) {
    size_t at = Probe(word, hash);
    if (!slots_[at].Free()) {
        return slots_[at].IdPlusOne - 1;
    }
    // A new spelling: its key, from the ASCII table when it can, else from the collator, is
    // stored right after it.
    const WordCollator& collator = collator_;
    const size_t room = word.size() + WordCollator::AsciiKeyRoom(word.size());
    if (scratch_.size() < room) {
        scratch_.resize(std::max(room, scratch_.size() * 2));
    }
    std::copy(word.begin(), word.end(), scratch_.begin());
    size_t keyLength = 0;
    if (const char* end = collator.WriteAsciiKey(word, scratch_.data() + word.size())) {
        keyLength = static_cast<size_t>(end - scratch_.data()) - word.size();
    } else {
        scratch_.resize(word.size());
        collator.AppendKeyWithCollator(word, scratch_);
        keyLength = scratch_.size() - word.size();
    }
    const std::string_view both(scratch_.data(), word.size() + keyLength);

    if (slots_.MustGrow(count_)) {
        Grow();
        at = Probe(word, hash);
    }
    // An empty text still needs a position: the table takes a null one for an empty slot.
    const char* stored = both.empty() ? "" : texts_.Store(both).data();
    textBytes_ += both.size();
    Spelling spelling;
    spelling.Text = stored;
    spelling.Length = static_cast<std::uint32_t>(word.size());
    spelling.KeyLength = static_cast<std::uint32_t>(keyLength);
    spelling.KeyHash = HashText(spelling.KeyView());
    const auto id = static_cast<std::uint32_t>(count_);
    if ((count_ & (kChunkSize - 1)) == 0) {
        chunks_.push_back(std::make_unique_for_overwrite<Chunk>());
    }
    Chunk& chunk = *chunks_.back();
    chunk.Spellings[id & (kChunkSize - 1)] = spelling;
    ++count_;
    slots_[at] = Slot{Tag(hash), id + 1};
    return id;
}

size_t TLexiconStore::MemoryUse() const {
    return chunks_.size() * sizeof(Chunk) + slots_.SlotCount() * sizeof(Slot) + textBytes_;
}

std::shared_ptr<TLexiconStore> TLexicon::StoreForFile() {
    if (!current_ || current_->MemoryUse() >= maxBytes_) {
        current_ = std::make_shared<TLexiconStore>(collator_);
    }
    return current_;
}

}  // namespace tarnwick
