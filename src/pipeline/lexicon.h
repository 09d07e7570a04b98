// TLexicon: what one parser learns about the spellings it meets during a run. Each spelling gets
// its comparison key made, hashed and stored once, and the exclude filters' verdict on it asked
// once per set of filters, however many files hold it. The records live in a TLexiconStore that
// the files parsed with it share; a full store is replaced by a fresh one, which bounds memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/open_table.h"
#include "pipeline/text_arena.h"
#include "support/word_compare.h"

namespace tarnwick {

// One store of spellings with their keys. Not thread-safe: it is filled by one thread at a time.
// The texts it hands out never move and stay valid as long as the store lives, so other threads
// may read them once the file that took them is handed over.
class TLexiconStore {
public:
    // A spelling: its bytes, its comparison key (WordCollator::Key) with the key's HashText, and
    // the filters' verdict on it. The spelling and its key lie next to each other.
    // Thirty-two bytes, so that two share a cache line and none straddles two.
    struct Spelling {
        const char* Text = nullptr;  // never null, even for an empty spelling; the key follows
        std::uint32_t Length = 0;
        std::uint32_t KeyLength = 0;
        std::uint64_t KeyHash = 0;
        // The Id of the filters last asked, times two, plus one if they let the spelling pass;
        // 0 when none were asked yet.
        std::uint64_t Verdict = 0;
        std::string_view View() const { return {Text, Length}; }
        std::string_view KeyView() const { return {Text + Length, KeyLength}; }
    };
    static_assert(sizeof(Spelling) == 32);

    // Keys are made by `collator`, which outlives the store.
    explicit TLexiconStore(const WordCollator& collator = WordCollator::Instance());
    TLexiconStore(const TLexiconStore&) = delete;
    TLexiconStore& operator=(const TLexiconStore&) = delete;

    // A number no other store of the process has; the merge keys what it remembers on it.
    std::uint64_t Serial() const { return serial_; }

    // The id of `word` (whose HashText is `hash`), recorded with its key when new.
    std::uint32_t Intern(std::string_view word, std::uint64_t hash);
    // Asks the processor for what an Intern of `hash` will read, in steps a little apart: the
    // table slot, then (the slot having arrived) the record it names, then that record's text.
    void PrefetchSlot(std::uint64_t hash) const { slots_.Prefetch(Tag(hash)); }
    void PrefetchRecord(std::uint64_t hash) const {
        const Slot& slot = slots_.First(Tag(hash));
        if (!slot.Free() && slot.Tag == Tag(hash)) {
            __builtin_prefetch(&SpellingAt(slot.IdPlusOne - 1));
        }
    }
    void PrefetchText(std::uint64_t hash) const {
        const Slot& slot = slots_.First(Tag(hash));
        if (!slot.Free() && slot.Tag == Tag(hash)) {
            __builtin_prefetch(SpellingAt(slot.IdPlusOne - 1).Text);
        }
    }
    Spelling& SpellingAt(std::uint32_t id) {
        return chunks_[id >> kChunkBits]->Spellings[id & (kChunkSize - 1)];
    }
    const Spelling& SpellingAt(std::uint32_t id) const {
        return chunks_[id >> kChunkBits]->Spellings[id & (kChunkSize - 1)];
    }

    size_t SpellingCount() const { return count_; }
    // Bytes held, roughly: records, table and texts.
    size_t MemoryUse() const;

private:
    // The table's slots: the hash's high half and the id plus one (0: free). The high half also
    // picks the slot, so that the table grows from its slots alone, without reading a record or
    // hashing a text again.
    struct Slot {
        std::uint32_t Tag = 0;
        std::uint32_t IdPlusOne = 0;
        bool Free() const { return IdPlusOne == 0; }
    };
    static constexpr size_t kInitialSlots = 4096;

    static std::uint32_t Tag(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }
    size_t Probe(std::string_view word, std::uint64_t hash) const;
    void Grow();

    // The records in chunks that never move, so that a large store grows without copying and
    // without holding twice its size while it does. Chunks and text blocks stay below the size
    // the allocator maps from the system one by one, so that the memory of a retired store
    // serves the next one without page faults.
    static constexpr unsigned kChunkBits = 11;
    static constexpr size_t kChunkSize = size_t{1} << kChunkBits;
    struct Chunk {
        Spelling Spellings[kChunkSize];
    };

    const WordCollator& collator_;
    std::uint64_t serial_;
    std::vector<std::unique_ptr<Chunk>> chunks_;
    size_t count_ = 0;
    TOpenTable<Slot> slots_;
    TTextArena texts_{64 * 1024};
    size_t textBytes_ = 0;
    std::string scratch_;
};

// The run-long memory of one parser. Hands each file the store to fill; once a store holds
// `maxBytes`, the next file gets a fresh one, and the old one lives on only while files filled
// from it do.
class TLexicon {
public:
    explicit TLexicon(size_t maxBytes = kDefaultMaxBytes,
                      const WordCollator& collator = WordCollator::Instance())
        : maxBytes_(maxBytes), collator_(collator) {}
    std::shared_ptr<TLexiconStore> StoreForFile();

    // Enough for the spellings of a few thousand pages of a large project.
    static constexpr size_t kDefaultMaxBytes = 16 << 20;

private:
    size_t maxBytes_;
    const WordCollator& collator_;
    std::shared_ptr<TLexiconStore> current_;
};

}  // namespace tarnwick
