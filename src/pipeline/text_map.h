// TTextMap: a hash map from byte strings to values for the pipeline's large tables (the keys of
// the word list, the exclude lists). Open addressing over a flat array of slots that hold the
// hash, so a lookup usually costs one cache miss for the slot and one for the item; the texts are
// copied into an arena and the items never move, so views of them stay valid until Clear.
// Callers that know a text's HashText already pass it in, and can prefetch its slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/text_arena.h"

namespace tarnwick {

// The hash of the pipeline's tables: fast for the short strings that words and keys are, and well
// mixed in its low bits, which the tables use.
inline std::uint64_t HashText(std::string_view text) {
    auto load64 = [](const char* p) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    };
    auto load32 = [](const char* p) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return static_cast<std::uint64_t>(v);
    };
    auto mix = [](std::uint64_t a, std::uint64_t b) {
        const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
        return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
    };
    constexpr std::uint64_t k0 = 0xa0761d6478bd642full;
    constexpr std::uint64_t k1 = 0xe7037ed1a0b428dbull;
    constexpr std::uint64_t k2 = 0x8ebc6af09c88c6e3ull;
    const char* p = text.data();
    size_t n = text.size();
    std::uint64_t seed = k2 ^ n;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (n <= 16) {
        if (n >= 8) {
            a = load64(p);
            b = load64(p + n - 8);
        } else if (n >= 4) {
            a = load32(p);
            b = load32(p + n - 4);
        } else if (n > 0) {
            a = (static_cast<std::uint64_t>(static_cast<unsigned char>(p[0])) << 16) |
                (static_cast<std::uint64_t>(static_cast<unsigned char>(p[n / 2])) << 8) |
                static_cast<unsigned char>(p[n - 1]);
        }
    } else {
        while (n > 16) {
            seed = mix(load64(p) ^ k1, load64(p + 8) ^ seed);
            p += 16;
            n -= 16;
        }
        a = load64(p + n - 16);
        b = load64(p + n - 8);
    }
    return mix(k1 ^ text.size(), mix(a ^ k0, b ^ seed));
}

// Byte equality of two texts, inline for the short ones that words and keys are (the tables
// compare texts only after their hashes matched, so the answer is nearly always yes).
inline bool SameText(std::string_view a, std::string_view b) {
    const size_t n = a.size();
    if (n != b.size()) {
        return false;
    }
    const char* p = a.data();
    const char* q = b.data();
    if (n >= 8 && n <= 16) {
        std::uint64_t x[2];
        std::uint64_t y[2];
        std::memcpy(&x[0], p, 8);
        std::memcpy(&x[1], p + n - 8, 8);
        std::memcpy(&y[0], q, 8);
        std::memcpy(&y[1], q + n - 8, 8);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }
    if (n >= 4 && n < 8) {
        std::uint32_t x[2];
        std::uint32_t y[2];
        std::memcpy(&x[0], p, 4);
        std::memcpy(&x[1], p + n - 4, 4);
        std::memcpy(&y[0], q, 4);
        std::memcpy(&y[1], q + n - 4, 4);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }
    if (n < 4) {
        for (size_t i = 0; i < n; ++i) {
            if (p[i] != q[i]) {
                return false;
            }
        }
        return true;
    }
    return std::memcmp(p, q, n) == 0;
}

template <class Value>
class TTextMap {
public:
    struct Item {
        std::string_view Text;  // in the map's arena
        Value Data{};
    };

    TTextMap() { slots_.resize(kInitialSlots); }
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
        return slot.item ? &items_[slot.item - 1] : nullptr;
    }
    const Item* Find(std::string_view text, std::uint64_t hash) const {
        const Slot& slot = slots_[Probe(text, hash)];
        return slot.item ? &items_[slot.item - 1] : nullptr;
    }

    // The item for `text`, inserted with a default value when missing; the flag tells which.
    std::pair<Item*, bool> Insert(std::string_view text) { return Insert(text, HashText(text)); }
    std::pair<Item*, bool> Insert(std::string_view text, std::uint64_t hash) {
        size_t at = Probe(text, hash);
        if (slots_[at].item) {
            return {&items_[slots_[at].item - 1], false};
        }
        if ((items_.size() + 1) * 4 > slots_.size() * 3) {
            Grow();
            at = Probe(text, hash);
        }
        items_.push_back(Item{arena_.Store(text), Value{}});
        slots_[at] = Slot{hash, items_.size()};
        return {&items_.back(), true};
    }

    // Asks the processor to fetch the first slot a lookup of `hash` reads.
    void Prefetch(std::uint64_t hash) const {
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
    }

    size_t Size() const { return items_.size(); }
    // The items in the order they were inserted.
    const std::deque<Item>& Items() const { return items_; }

    void Clear() {
        items_.clear();
        arena_.Clear();
        slots_.assign(kInitialSlots, Slot{});
    }

private:
    struct Slot {
        std::uint64_t hash = 0;
        size_t item = 0;  // position in items_ plus one; 0 for an empty slot
    };
    static constexpr size_t kInitialSlots = 1024;  // a power of two

    size_t Probe(std::string_view text, std::uint64_t hash) const {
        const size_t mask = slots_.size() - 1;
        size_t at = hash & mask;
        while (slots_[at].item &&
               (slots_[at].hash != hash || !SameText(items_[slots_[at].item - 1].Text, text))) {
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
    TTextArena arena_;
};

}  // namespace tarnwick
