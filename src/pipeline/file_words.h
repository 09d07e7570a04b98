// TFileWords: the words of one topic file, free of duplicates under the word comparison, where
// the first spelling added stays. The parser fills it; the parse run merges it into the word list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarnwick {

// One word of a file with its comparison key (WordCollator::Key). Both views point into the
// spelling cache of the TFileWords they came from and stay valid until its next Clear.
struct TFileWord {
    std::string_view Word;
    std::string_view Key;
};

// A word is looked up by its exact bytes first; only a spelling new to the file is compared,
// through its comparison key. Keys are computed once per distinct spelling for the life of the
// object (Clear keeps them), so one object should serve a whole run (or one worker of it).
class TFileWords {
public:
    TFileWords() = default;
    TFileWords(const TFileWords&) = delete;
    TFileWords& operator=(const TFileWords&) = delete;

    // Adds `word` unless the file already holds a word equal to it. Returns whether it was added.
    bool Add(std::string_view word);
    // Whether exactly these bytes were offered to Add since the last Clear (whether added or
    // found equal to an earlier spelling): such a word needs no further look.
    bool HasSpelling(std::string_view word) const;
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
        std::string Key;
        std::uint32_t Stamp = 0;  // the file generation in which the spelling was last offered
    };
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>()(text);
        }
    };
    // Every distinct spelling met; nodes never move, so views into them stay valid.
    std::unordered_map<std::string, Spelling, Hash, std::equal_to<>> spellings_;
    // The keys of this file's words.
    std::unordered_set<std::string_view, Hash> keys_;
    std::vector<TFileWord> words_;
    std::uint32_t stamp_ = 1;
    bool sorted_ = true;
};

}  // namespace tarnwick
