// TViewSlots and TViewSet: small sets of byte strings held as views, for what is looked up per
// word of one topic file (the spellings met and the comparison keys taken). Open addressing in
// one array of 16-byte slots, so that the table of a typical page stays in the processor's
// nearest caches; Clear costs only what was inserted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "pipeline/text_map.h"

namespace tarnwick {

// The table itself, for callers that place and repoint entries by position: each text placed
// since the last Clear keeps its number (0, 1, 2, ... in the order placed) through growth. The
// viewed bytes must outlive their presence in the table. Hashes are HashText values. Texts are
// shorter than 4 GB.
class TViewSlots {
public:
    TViewSlots() : slots_(kInitialSlots) {}

    // The position of the slot holding `text`, or of the free slot where it belongs.
    size_t Probe(std::string_view text, std::uint64_t hash) const {
        const size_t mask = slots_.size() - 1;
        const std::uint32_t tag = Tag(hash);
        size_t at = hash & mask;
        for (;;) {
            const Slot& slot = slots_[at];
            if (!slot.Text ||
                (slot.HashTag == tag && SameText(std::string_view(slot.Text, slot.Length), text))) {
                return at;
            }
            at = (at + 1) & mask;
        }
    }
    bool IsFree(size_t at) const { return slots_[at].Text == nullptr; }

    // Places `kept` (bytes equal to `text`) in the free slot `at` that Probe(text, hash) gave.
    // It becomes number Size() - 1.
    void Place(size_t at, std::string_view text, std::uint64_t hash, std::string_view kept) {
        if ((used_.size() + 1) * 4 > slots_.size() * 3) {
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

    // Empties the table. A table grown for a large page is given up when the page used a small
    // part of it, so that the pages after it probe a table that stays in the cache.
    void Clear() {
        if (slots_.size() > kInitialSlots && used_.size() * 16 < slots_.size()) {
            size_t size = kInitialSlots;
            while (size < used_.size() * 4) {
                size *= 2;
            }
            slots_.assign(size, Slot{});
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
    };
    static constexpr size_t kInitialSlots = 1024;  // a power of two
    static constexpr size_t kKeptUsed = 1 << 14;
    static constexpr const char* kEmpty = "";

    static std::uint32_t Tag(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        const size_t mask = slots_.size() - 1;
        // In the order placed, so that every text keeps its number.
        for (std::uint32_t& position : used_) {
            // The position comes from the low bits of the hash, which the slot does not keep.
            const Slot& slot = old[position];
            size_t to = HashText(std::string_view(slot.Text, slot.Length)) & mask;
            while (slots_[to].Text) {
                to = (to + 1) & mask;
            }
            slots_[to] = slot;
            position = static_cast<std::uint32_t>(to);
        }
    }

    std::vector<Slot> slots_;
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
