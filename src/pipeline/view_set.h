// TViewSet: a small set of byte strings held as views, for what is looked up per word of one
// topic file (the spellings met and the comparison keys taken). Open addressing in one array, so
// a lookup costs one hash and usually one cache line; Clear costs only what was inserted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace tarnwick {

// The viewed bytes must outlive their presence in the set.
class TViewSet {
public:
    TViewSet() { slots_.resize(kInitialSlots); }

    // Inserts `text` unless present; returns whether it was inserted.
    bool Insert(std::string_view text) {
        const size_t hash = std::hash<std::string_view>()(text);
        size_t at = Probe(text, hash);
        if (slots_[at].used) {
            return false;
        }
        if ((used_.size() + 1) * 4 > slots_.size() * 3) {
            Grow();
            at = Probe(text, hash);
        }
        slots_[at] = {text, hash, true};
        used_.push_back(at);
        return true;
    }

    bool Contains(std::string_view text) const {
        return slots_[Probe(text, std::hash<std::string_view>()(text))].used;
    }

    void Clear() {
        for (size_t at : used_) {
            slots_[at].used = false;
        }
        used_.clear();
    }

    size_t Size() const { return used_.size(); }

private:
    struct Slot {
        std::string_view text;
        size_t hash = 0;
        bool used = false;
    };
    static constexpr size_t kInitialSlots = 1024;  // a power of two

    size_t Probe(std::string_view text, size_t hash) const {
        const size_t mask = slots_.size() - 1;
        size_t at = hash & mask;
        while (slots_[at].used && (slots_[at].hash != hash || slots_[at].text != text)) {
            at = (at + 1) & mask;
        }
        return at;
    }

    void Grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.size() * 2, Slot{});
        used_.clear();
        for (const Slot& slot : old) {
            if (slot.used) {
                const size_t at = Probe(slot.text, slot.hash);
                slots_[at] = slot;
                used_.push_back(at);
            }
        }
    }

    std::vector<Slot> slots_;
    std::vector<size_t> used_;  // the occupied slots, so that Clear touches only those
};

}  // namespace tarnwick
