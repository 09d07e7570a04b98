// TFileWords: the words of one topic file, free of duplicates under the word comparison, where
// the first spelling added stays. The parser fills it; the parse run merges it into the word list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/text_arena.h"
#include "pipeline/text_map.h"
#include "pipeline/view_set.h"

namespace tarnwick {

// Comparison keys (WordCollator::Key) for many words. Plain-ASCII words get theirs from the
// collator's table at once; the others go through the collator, which is slow, so their keys are
// remembered (up to kMaxRemembered spellings, then forgotten all at once). One object serves one
// thread.
class TKeyMaker {
public:
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
    std::string scratch_;
    TTextMap<std::string_view> remembered_;  // spelling -> its key, in keyTexts_
    TTextArena keyTexts_;
};

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

// One word of a file with its comparison key, the key's HashText and its prefix. The views point
// into the TFileWords they came from and stay valid until its next Clear.
struct TFileWord {
    std::string_view Word;
    std::string_view Key;
    std::uint64_t KeyHash = 0;
    TKeyPrefix Prefix;
};

// A word is looked up by its exact bytes first; only a spelling new to the file gets its key
// made, and only a key new to the file goes through the caller's filters.
class TFileWords {
public:
    // How an offered word fared.
    enum class Outcome { Added, Present, Rejected };

    TFileWords() = default;
    TFileWords(const TFileWords&) = delete;
    TFileWords& operator=(const TFileWords&) = delete;

    // Adds `word` unless the file already holds a word equal to it. Returns whether it was added.
    bool Add(std::string_view word);

    // Adds `word` if the file holds no word equal to it and it passes the caller's filters.
    // `passes(context, word, key, keyHash)` is asked at most once per spelling and file, and not
    // at all for a spelling equal to a word the file holds.
    using FilterFn = bool (*)(void* context, std::string_view word, std::string_view key,
                              std::uint64_t keyHash);
    Outcome Offer(std::string_view word, TKeyMaker& keys, FilterFn passes, void* context);

    // Whether exactly these bytes were offered since the last Clear (whatever the outcome).
    bool HasSpelling(std::string_view word) const { return spellings_.Contains(word); }
    // Empties the set for the next file; views handed out before are invalid afterwards.
    void Clear();

    size_t Count() const { return words_.size(); }
    // The words in the order they were added, or sorted once SortedWords has been called.
    const std::vector<TFileWord>& Words() const { return words_; }
    // Sorts the words by the word comparison (by key), the order in which the parse run merges
    // them, and returns them.
    const std::vector<TFileWord>& SortedWords();

private:
    static constexpr size_t kKeptWords = 1 << 14;
    // The words and keys of a typical page fit one block; many files are in flight at once.
    static constexpr size_t kTextBlock = 16 * 1024;

    // Copies of the spellings offered and of the keys taken.
    TTextArena texts_{kTextBlock};
    TViewSet spellings_;
    TViewSet keys_;
    std::vector<TFileWord> words_;
    bool sorted_ = true;
};

}  // namespace tarnwick
