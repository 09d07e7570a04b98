// TOpenTable: the one hash table of the pipeline, under the word list's index, the lexicon, the
// file's spellings and keys, the exclude lists and the remembered collator keys.
//
// Open addressing with linear probing over a flat array of slots whose count is a power of two:
// a lookup starts at the slot the low bits of the hash (HashText, see text_hash.h) pick and steps
// to the next slot until it meets its text or a free slot, so it usually costs one cache miss
// for the slot and one for the text. A table grows before it would become more than three
// quarters full, to twice its slots, so that probe runs stay short and the cost of growing is
// spread over the inserts; nothing is ever removed, only the whole table emptied.
//
// The slot is the user's: each table keeps in it what its lookups need (a full hash or its high
// half as a tag, a pointer to the text or the number of an item), so that a probe reads one slot
// and, when the hashes agree, one text. A Slot is default-constructed free and answers Free().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

template <class Slot>
class TOpenTable {
public:
    // `count`: the initial number of slots, a power of two.
    explicit TOpenTable(size_t count) : slots_(count) {}

    // The position of the first slot along `hash`'s probe that `matches` or is free.
    template <class Matches>
    size_t Probe(std::uint64_t hash, const Matches& matches) const {
        const size_t mask = slots_.size() - 1;
        size_t at = hash & mask;
        while (!slots_[at].Free() && !matches(slots_[at])) {
            at = (at + 1) & mask;
        }
        return at;
    }

    Slot& operator[](size_t at) { return slots_[at]; }
    const Slot& operator[](size_t at) const { return slots_[at]; }
    // The slot a probe of `hash` reads first, for prefetching what a lookup will read.
    const Slot& First(std::uint64_t hash) const { return slots_[hash & (slots_.size() - 1)]; }
    void Prefetch(std::uint64_t hash) const { __builtin_prefetch(&First(hash)); }

    // Whether a table holding `count` entries must grow before it takes one more.
    bool MustGrow(size_t count) const { return (count + 1) * 4 > slots_.size() * 3; }

    // Doubles the slots and puts the occupied ones back in table order; `hashOf(slot)` gives a
    // slot's hash.
    template <class HashOf>
    void Grow(const HashOf& hashOf) {
        GrowInOrder([&](const std::vector<Slot>& old, auto&& place) {
            for (const Slot& slot : old) {
                if (!slot.Free()) {
                    place(hashOf(slot), slot);
                }
            }
        });
    }
    // Doubles the slots and lets `replace(old, place)` put the old occupied slots back in an
    // order of its choosing: `place(hash, slot)` puts one at the end of its probe and returns
    // its position.
    template <class Replace>
    void GrowInOrder(const Replace& replace) {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        replace(old, [this](std::uint64_t hash, const Slot& slot) { return Place(hash, slot); });
    }

    // Empties the table and gives it `count` slots (a power of two).
    void Reset(size_t count) { slots_.assign(count, Slot{}); }
    size_t SlotCount() const { return slots_.size(); }

private:
    size_t Place(std::uint64_t hash, const Slot& slot) {
        const size_t mask = slots_.size() - 1;
        size_t at = hash & mask;
        while (!slots_[at].Free()) {
            at = (at + 1) & mask;
        }
        slots_[at] = slot;
        return at;
    }

    std::vector<Slot> slots_;
};

}  // namespace tarnwick
