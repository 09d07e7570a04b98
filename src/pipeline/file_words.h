// TFileWords: the words of one topic file, free of duplicates under the word comparison, where
// the first spelling added stays. The parser fills it; the parse run merges it into the word list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/text_map.h"
#include "pipeline/view_set.h"

namespace tarnwick {

// One word of a file with its comparison key (WordCollator::Key). Both views point into the
// spelling cache of the TFileWords they came from and stay valid until its next Clear.
struct TFileWord {
    std::string_view Word;
    std::string_view Key;
};

// A word is looked up by its exact bytes first, in a small per-file set; only a spelling new to
// the file goes to the run-wide spelling cache, and only a spelling new to the run is compared
// through a freshly computed comparison key. The cache also remembers, per spelling, whether the
// parser's exclude filters let it through. Clear keeps the cache, so one object should serve a
// whole run (or one worker of it).
class TFileWords {
public:
    // How an offered word fared.
    enum class Outcome { Added, Present, Rejected };

    TFileWords() = default;
    TFileWords(const TFileWords&) = delete;
    TFileWords& operator=(const TFileWords&) = delete;

    // Adds `word` unless the file already holds a word equal to it. Returns whether it was added.
    bool Add(std::string_view word) { return Offer(word, 0, nullptr, nullptr) == Outcome::Added; }

    // Adds `word` if it passes the caller's filters and the file holds no word equal to it.
    // `passes(context, word)` is asked at most once per spelling while `filterGeneration`
    // (never 0) stays the same; a new generation forgets every earlier answer.
    using FilterFn = bool (*)(void* context, std::string_view word);
    Outcome Offer(std::string_view word, std::uint64_t filterGeneration, FilterFn passes,
                  void* context);

    // Whether exactly these bytes were offered since the last Clear (whatever the outcome).
    bool HasSpelling(std::string_view word) const { return offered_.Contains(word); }
    // Empties the set for the next file. The spelling cache stays unless it has grown past
    // kMaxCachedSpellings, so views handed out before are invalid afterwards.
    void Clear();
    static constexpr size_t kMaxCachedSpellings = 1 << 20;

    size_t Count() const { return words_.size(); }
    // The words in the order they were added, or sorted once SortedWords has been called.
    const std::vector<TFileWord>& Words() const { return words_; }
    // Sorts the words by the word comparison (by key), the order in which the parse run merges
    // them, and returns them.
    const std::vector<TFileWord>& SortedWords();

private:
    struct Spelling {
        std::string Key;                      // computed when the spelling is first added
        std::uint64_t VerdictGeneration = 0;  // the filter generation Passes belongs to
        bool Passes = false;
        bool HasKey = false;
    };

    // Every distinct spelling met; nodes never move, so views into them stay valid.
    TTextMap<Spelling> spellings_;
    // This file: the spellings offered and the keys of the words taken.
    TViewSet offered_;
    TViewSet keys_;
    std::vector<TFileWord> words_;
    bool sorted_ = true;
};

}  // namespace tarnwick
