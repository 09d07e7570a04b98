// TViewSlots and TViewSet: small sets of byte strings held as views, for what is looked up per
// word of one topic file (the spellings met and the comparison keys taken). A TOpenTable of
// 16-byte slots that view the text and keep the high half of its hash, so that the table of a
// typical page stays in the processor's nearest caches; Clear costs only what was inserted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "pipeline/open_table.h"
#include "pipeline/text_hash.h"

namespace tarnwick {

// The table itself, for callers that place and repoint entries by position: each text placed
// since the last Clear keeps its number (0, 1, 2, ... in the order placed) through growth. The
// viewed bytes must outlive their presence in the table. Hashes are HashText values. Texts are
// shorter than 4 GB.
class TViewSlots {
public:
    TViewSlots() : slots_(kFirstSlots) {}

    // The position of the slot holding `text`, or of the free slot where it belongs.
    size_t Probe(std::string_view text, std::uint64_t hash) const {
        const std::uint32_t tag = Tag(hash);
        return slots_.Probe(hash, [&](const Slot& slot) {
            return slot.HashTag == tag && SameText(std::string_view(slot.Text, slot.Length), text);
        });
    }
    bool IsFree(size_t at) const { return slots_[at].Free(); }

    // Places `kept` (bytes equal to `text`) in the free slot `at` that Probe(text, hash) gave.
    // It becomes number Size() - 1.
    void Place(size_t at, std::string_view text, std::uint64_t hash, std::string_view kept) {
        if (slots_.MustGrow(used_.size())) {
            Grow();
            at = Probe(text, hash);
        }
        // An empty text still needs a position to mark its slot as used.
        slots_[at] = Slot{kept.empty() ? kEmpty : kept.data(),
                          static_cast<std::uint32_t>(kept.size()), Tag(hash)};
        used_.push_back(static_cast<std::uint32_t>(at));
    }
    // Points text number `number` at `kept`, bytes equal to it that last longer.
    void Repoint(size_t number, const char* kept) { slots_[used_[number]].Text = kept; }

    size_t Size() const { return used_.size(); }

    // Empties the table, which keeps its size for the next page. A table grown for a large page
    // is given up when the page used a small part of it, so that the pages after it probe a
    // table that stays in the cache.
    void Clear() {
        if (slots_.SlotCount() > kKeptSlots && used_.size() * 16 < slots_.SlotCount()) {
            size_t size = kKeptSlots;
            while (size < used_.size() * 4) {
                size *= 2;
            }
            slots_.Reset(size);
        } else {
            for (std::uint32_t at : used_) {
                slots_[at].Text = nullptr;
            }
        }
        if (used_.capacity() > kKeptUsed && used_.size() * 4 < used_.capacity()) {
            used_ = std::vector<std::uint32_t>();
        }
        used_.clear();
    }

private:
    struct Slot {
        const char* Text = nullptr;  // null for a free slot
        std::uint32_t Length = 0;
        std::uint32_t HashTag = 0;  // the high half of the hash; the low bits pick the slot
        bool Free() const { return Text == nullptr; }
    };
    // A table starts small, as one that is never offered a word should cost little (a page's
    // words handed on), and grows to what the pages need.
    static constexpr size_t kFirstSlots = 16;
    static constexpr size_t kKeptSlots = 1024;
    static constexpr size_t kKeptUsed = 1 << 14;
    static constexpr const char* kEmpty = "";

    static std::uint32_t Tag(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

    void Grow() {
        // In the order placed, so that every text keeps its number. The position comes from the
        // low bits of the hash, which the slot does not keep.
        slots_.GrowInOrder([this](const std::vector<Slot>& old, auto&& place) {
            for (std::uint32_t& position : used_) {
                const Slot& slot = old[position];
                position = static_cast<std::uint32_t>(
                    place(HashText(std::string_view(slot.Text, slot.Length)), slot));
            }
        });
    }

    TOpenTable<Slot> slots_;
    std::vector<std::uint32_t> used_;  // the occupied slots in the order placed
};

// A set over TViewSlots.
class TViewSet {
public:
    // Inserts `text` unless present; returns whether it was inserted.
    bool Insert(std::string_view text) { return Insert(text, HashText(text)); }
    bool Insert(std::string_view text, std::uint64_t hash) {
        return InsertCopy(text, hash, [text] { return text; });
    }
    // Inserts the view `stable()` returns (equal to `text`) when `text` is missing, so that a
    // caller stores its own copy only of what is new. Returns whether it was inserted.
    template <class MakeStable>
    bool InsertCopy(std::string_view text, std::uint64_t hash, MakeStable&& stable) {
        return InsertCopyIf(
                   text, hash, [] { return true; }, stable) == Insertion::Inserted;
    }
    // Like InsertCopy, but only when `admit()` also says yes, which is asked only for a text
    // that is missing.
    enum class Insertion { Present, Refused, Inserted };
    template <class Admit, class MakeStable>
    Insertion InsertCopyIf(std::string_view text, std::uint64_t hash, Admit&& admit,
                           MakeStable&& stable) {
        const size_t at = slots_.Probe(text, hash);
        if (!slots_.IsFree(at)) {
            return Insertion::Present;
        }
        if (!admit()) {
            return Insertion::Refused;
        }
        slots_.Place(at, text, hash, stable());
        return Insertion::Inserted;
    }

    bool Contains(std::string_view text) const { return Contains(text, HashText(text)); }
    bool Contains(std::string_view text, std::uint64_t hash) const {
        return !slots_.IsFree(slots_.Probe(text, hash));
    }

    void Clear() { slots_.Clear(); }
    size_t Size() const { return slots_.Size(); }

private:
    TViewSlots slots_;
};

}  // namespace tarnwick
