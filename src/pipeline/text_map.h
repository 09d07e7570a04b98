// TTextMap: a hash map from byte strings to values (the exclude lists' keys, the remembered
// collator keys), over a TOpenTable whose slots hold the full hash and the item's number. The
// texts are copied into an arena and the items never move, so views of them stay valid until
// Clear. Callers that know a text's HashText already pass it in, and can prefetch its slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/open_table.h"
#include "pipeline/text_arena.h"
#include "pipeline/text_hash.h"

namespace tarnwick {

template <class Value>
class TTextMap {
public:
    struct Item {
        std::string_view Text;  // in the map's arena
        Value Data{};
    };

    TTextMap() : slots_(kInitialSlots) {}
    TTextMap(const TTextMap&) = delete;
    TTextMap& operator=(const TTextMap&) = delete;
    // The texts stay where they are, so the views in the items stay valid. The map moved from is
    // left empty and ready for use.
    TTextMap(TTextMap&& other)
        : slots_(std::move(other.slots_)),
          items_(std::move(other.items_)),
          arena_(std::move(other.arena_)) {
        other.Clear();
    }
    TTextMap& operator=(TTextMap&& other) {
        if (this != &other) {
            slots_ = std::move(other.slots_);
            items_ = std::move(other.items_);
            arena_ = std::move(other.arena_);
            other.Clear();
        }
        return *this;
    }

    Item* Find(std::string_view text) { return Find(text, HashText(text)); }
    const Item* Find(std::string_view text) const { return Find(text, HashText(text)); }
    // With the text's HashText already known.
    Item* Find(std::string_view text, std::uint64_t hash) {
        const Slot& slot = slots_[Probe(text, hash)];
        return slot.Free() ? nullptr : &items_[slot.item - 1];
    }
    const Item* Find(std::string_view text, std::uint64_t hash) const {
        const Slot& slot = slots_[Probe(text, hash)];
        return slot.Free() ? nullptr : &items_[slot.item - 1];
    }

    // The item for `text`, inserted with a default value when missing; the flag tells which.
    std::pair<Item*, bool> Insert(std::string_view text) { return Insert(text, HashText(text)); }
    std::pair<Item*, bool> Insert(std::string_view text, std::uint64_t hash) {
        size_t at = Probe(text, hash);
        if (!slots_[at].Free()) {
            return {&items_[slots_[at].item - 1], false};
        }
        if (slots_.MustGrow(items_.size())) {
            slots_.Grow([](const Slot& slot) { return slot.hash; });
            at = Probe(text, hash);
        }
        items_.push_back(Item{arena_.Store(text), Value{}});
        slots_[at] = Slot{hash, items_.size()};
        return {&items_.back(), true};
    }

    // Asks the processor to fetch the first slot a lookup of `hash` reads.
    void Prefetch(std::uint64_t hash) const { slots_.Prefetch(hash); }

    size_t Size() const { return items_.size(); }
    // The items in the order they were inserted.
    const std::deque<Item>& Items() const { return items_; }

    void Clear() {
        items_.clear();
        arena_.Clear();
        slots_.Reset(kInitialSlots);
    }

private:
    struct Slot {
        std::uint64_t hash = 0;
        size_t item = 0;  // position in items_ plus one; 0 for a free slot
        bool Free() const { return item == 0; }
    };
    static constexpr size_t kInitialSlots = 1024;

    size_t Probe(std::string_view text, std::uint64_t hash) const {
        return slots_.Probe(hash, [&](const Slot& slot) {
            return slot.hash == hash && SameText(items_[slot.item - 1].Text, text);
        });
    }

    TOpenTable<Slot> slots_;
    std::deque<Item> items_;
    TTextArena arena_;
};

}  // namespace tarnwick
