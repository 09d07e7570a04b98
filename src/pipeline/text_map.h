// TTextMap: a hash map from byte strings to values for the pipeline's large per-run tables (every
// spelling met, every comparison key of the word list). Open addressing over a flat array of
// hash codes, so a lookup usually costs one cache miss for the slot and one for the item; items
// live in a deque and never move, so views into their texts stay valid until Clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

template <class Value>
class TTextMap {
public:
    struct Item {
        std::string Text;
        Value Data{};
    };

    TTextMap() { slots_.resize(kInitialSlots); }

    Item* Find(std::string_view text) {
        const Slot& slot = slots_[Probe(text, Hash(text))];
        return slot.item ? &items_[slot.item - 1] : nullptr;
    }
    const Item* Find(std::string_view text) const {
        const Slot& slot = slots_[Probe(text, Hash(text))];
        return slot.item ? &items_[slot.item - 1] : nullptr;
    }

    // The item for `text`, inserted with a default value when missing; the flag tells which.
    std::pair<Item*, bool> Insert(std::string_view text) {
        const size_t hash = Hash(text);
        size_t at = Probe(text, hash);
        if (slots_[at].item) {
            return {&items_[slots_[at].item - 1], false};
        }
        if ((items_.size() + 1) * 4 > slots_.size() * 3) {
            Grow();
            at = Probe(text, hash);
        }
        items_.push_back(Item{std::string(text), Value{}});
        slots_[at] = Slot{hash, items_.size()};
        return {&items_.back(), true};
    }

    size_t Size() const { return items_.size(); }
    // The items in the order they were inserted.
    const std::deque<Item>& Items() const { return items_; }

    void Clear() {
        items_.clear();
        slots_.assign(kInitialSlots, Slot{});
    }

private:
    struct Slot {
        size_t hash = 0;
        size_t item = 0;  // position in items_ plus one; 0 for an empty slot
    };
    static constexpr size_t kInitialSlots = 1024;  // a power of two

    static size_t Hash(std::string_view text) { return std::hash<std::string_view>()(text); }

    size_t Probe(std::string_view text, size_t hash) const {
        const size_t mask = slots_.size() - 1;
        size_t at = hash & mask;
        while (slots_[at].item &&
               (slots_[at].hash != hash || items_[slots_[at].item - 1].Text != text)) {
            at = (at + 1) & mask;
        }
        return at;
    }

    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        const size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.item) {
                size_t at = slot.hash & mask;
                while (slots_[at].item) {
                    at = (at + 1) & mask;
                }
                slots_[at] = slot;
            }
        }
    }

    std::vector<Slot> slots_;
    std::deque<Item> items_;
};

}  // namespace tarnwick
