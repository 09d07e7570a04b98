// The word order at speed: comparison keys (WordCollator::Key) made for many words, and the one
// way to sort by them. A key's plain byte order is the word order, so a sort makes each key once
// and then compares keys, not words; it compares the keys' first sixteen bytes as two numbers
// and reads the keys themselves only past equal prefixes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "pipeline/text_arena.h"
#include "pipeline/text_map.h"
#include "support/word_compare.h"

namespace tarnwick {

// Comparison keys (WordCollator::Key) for many words. Plain-ASCII words get theirs from the
// collator's table at once; the others go through the collator, which is slow, so their keys are
// remembered (up to kMaxRemembered spellings, then forgotten all at once). One object serves one
// thread.
class TKeyMaker {
public:
    // Keys of `collator`, which outlives the maker.
    explicit TKeyMaker(const WordCollator& collator = WordCollator::Instance())
        : collator_(collator) {}

    // The key of `word`; the view is valid until the next call.
    std::string_view KeyOf(std::string_view word) {
        std::string_view key;
        return TableKey(word, key) ? key : CollatorKey(word);
    }
    // The key from the ASCII table into `key` (valid until the next call), or false when the
    // word needs the collator. Cheap to ask: it stops at the first byte the table lacks.
    bool TableKey(std::string_view word, std::string_view& key);
    // The collator's key, remembered; valid until the next call.
    std::string_view CollatorKey(std::string_view word);
    static constexpr size_t kMaxRemembered = 1 << 16;

private:
    const WordCollator& collator_;
    std::string scratch_;
    TTextMap<std::string_view> remembered_;  // spelling -> its key, in keyTexts_
    TTextArena keyTexts_;
};

// Below this many keys, OrderByKey sorts on one thread whatever it is given: a second thread would
// cost more than it saves.
inline constexpr size_t kParallelOrderFrom = 1 << 15;

// The first sixteen bytes of a comparison key as two big-endian numbers, zero-padded. Keys hold no
// zero byte, so different prefixes order as the whole keys do; sorts compare these numbers and
// read the keys themselves only past equal prefixes.
struct TKeyPrefix {
    std::uint64_t High = 0;
    std::uint64_t Low = 0;

    static TKeyPrefix Of(std::string_view key);
    friend auto operator<=>(const TKeyPrefix&, const TKeyPrefix&) = default;
};
// The byte order of keys `a` and `b` (negative, zero, positive), given their prefixes.
inline int KeyCompare(const TKeyPrefix& prefixA, std::string_view a, const TKeyPrefix& prefixB,
                      std::string_view b) {
    if (prefixA.High != prefixB.High) {
        return prefixA.High < prefixB.High ? -1 : 1;
    }
    if (prefixA.Low != prefixB.Low) {
        return prefixA.Low < prefixB.Low ? -1 : 1;
    }
    // Equal prefixes: the first sixteen bytes (or the whole of a shorter key) are equal.
    return a.substr(a.size() < 16 ? a.size() : 16).compare(b.substr(b.size() < 16 ? b.size() : 16));
}
inline bool KeyLess(const TKeyPrefix& prefixA, std::string_view a, const TKeyPrefix& prefixB,
                    std::string_view b) {
    return KeyCompare(prefixA, a, prefixB, b) < 0;
}

// Positions 0 .. count - 1 in the order of their keys, `keyOf(i)` being the key of position i
// (a view that stays valid through the call); equal keys keep their order. With `threads` of 2 or
// more, a long list is sorted in two halves at once, `keyOf` then being called from two threads;
// the order is the same.
template <class KeyOf>
std::vector<std::uint32_t> OrderByKey(size_t count, const KeyOf& keyOf, int threads = 1) {
    // Sorting small records of prefix, key and position moves far less than sorting the items.
    struct Ranked {
        TKeyPrefix Prefix;
        std::string_view Key;
        std::uint32_t Position;
    };
    // Positions break ties, so no two records are equal and any way of sorting gives one order.
    const auto less = [](const Ranked& a, const Ranked& b) {
        const int order = KeyCompare(a.Prefix, a.Key, b.Prefix, b.Key);
        return order < 0 || (order == 0 && a.Position < b.Position);
    };
    const auto sorted = [&](size_t first, size_t last) {
        std::vector<Ranked> ranked;
        ranked.reserve(last - first);
        for (size_t i = first; i < last; ++i) {
            const std::string_view key = keyOf(i);
            ranked.push_back({TKeyPrefix::Of(key), key, static_cast<std::uint32_t>(i)});
        }
        std::sort(ranked.begin(), ranked.end(), less);
        return ranked;
    };
    std::vector<std::uint32_t> order;
    order.reserve(count);
    const auto alone = [&] {
        for (const Ranked& r : sorted(0, count)) {
            order.push_back(r.Position);
        }
    };
    if (threads < 2 || count < kParallelOrderFrom) {
        alone();
        return order;
    }
    const size_t half = count / 2;
    std::vector<Ranked> second;
    std::exception_ptr failed;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                second = sorted(half, count);
            } catch (...) {
                failed = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        alone();  // no second thread to be had
        return order;
    }
    std::vector<Ranked> first;
    try {
        first = sorted(0, half);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (failed) {
        std::rethrow_exception(failed);
    }
    // The halves merged straight into positions: no third list of records.
    auto a = first.begin();
    auto b = second.begin();
    while (a != first.end() && b != second.end()) {
        order.push_back(less(*b, *a) ? (b++)->Position : (a++)->Position);
    }
    for (; a != first.end(); ++a) {
        order.push_back(a->Position);
    }
    for (; b != second.end(); ++b) {
        order.push_back(b->Position);
    }
    return order;
}

// Sorts `items` by their keys, `keyOf(item)` being an item's key; equal keys keep their order.
template <class T, class KeyOf>
void SortByKey(std::vector<T>& items, const KeyOf& keyOf) {
    const std::vector<std::uint32_t> order =
        OrderByKey(items.size(), [&](size_t i) { return keyOf(items[i]); });
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (std::uint32_t i : order) {
        sorted.push_back(std::move(items[i]));
    }
    items.swap(sorted);
}

// Sorts words (or file names) by the word comparison; equal ones keep their order.
void SortWordsByKey(std::vector<std::string>& words,
                    const WordCollator& collator = WordCollator::Instance());

}  // namespace tarnwick
