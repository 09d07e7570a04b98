// TFileWords: the words of one topic file, free of duplicates under the word comparison, where
// the first spelling added stays. The parser fills it through its lexicon; the parse run merges it
// into the word list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/lexicon.h"
#include "pipeline/text_hash.h"
#include "pipeline/view_set.h"
#include "pipeline/word_order.h"

namespace tarnwick {

// One word of a file with its comparison key and the key's HashText. The views point into the
// lexicon store the file was filled from and stay valid while the TFileWords holds that store
// (until its next Clear).
struct TFileWord {
    std::string_view Word;
    std::string_view Key;
    std::uint64_t KeyHash = 0;
    std::uint32_t Id = 0;  // the spelling's id in that store (see TFileWords::StoreSerial)
};

// The filters a parser applies to each spelling new to a file. `Passes(Context, word, key,
// keyHash)` says whether the word is taken. Its verdicts are remembered per spelling under `Id`,
// which must change whenever the answers may change (other lists or options); 0 means ask every
// time.
struct TWordFilter {
    using Fn = bool (*)(void* context, std::string_view word, std::string_view key,
                        std::uint64_t keyHash);
    Fn Passes = nullptr;
    void* Context = nullptr;
    std::uint64_t Id = 0;
};

// A word is looked up by its exact bytes among the spellings the file was offered; only a spelling
// new to the file goes to the lexicon, whose record holds its key, made when the lexicon first met
// the spelling, and the filters' verdict, asked once per spelling and set of filters. Nothing is
// copied per word. The lexicon is far larger than the processor's caches, so the spellings new to
// the file wait for Settle and go to it in groups whose memory waits overlap. A TFileWords is
// filled on one thread between two Clears; from its first Offer after a Clear it keeps to the
// store it got then.
class TFileWords {
public:
    TFileWords() = default;
    TFileWords(const TFileWords&) = delete;
    TFileWords& operator=(const TFileWords&) = delete;

    // Adds `word` if the file holds no word equal to it and it passes `filter`, which is not asked
    // for a spelling offered before since the last Clear, nor for one equal to a word the file
    // holds. A spelling new to the file is taken in at the next Settle (words are taken in the
    // order offered): until then the bytes of `word`, the lexicon and the filter's context must
    // stay as they are, and the words are not complete. An Offer with another lexicon or filter
    // settles the words offered before.
    void Offer(std::string_view word, TLexicon& lexicon, const TWordFilter& filter) {
        // Most words of a page repeat: an exact repeat is answered by the file's own table.
        const std::uint64_t hash = HashText(word);
        const size_t at = spellings_.Probe(word, hash);
        if (spellings_.IsFree(at)) {
            OfferNew(at, hash, word, lexicon, filter);
        }
    }
    // Takes in the spellings offered since the last Settle.
    void Settle();

    // Whether exactly these bytes were offered since the last Clear (whatever the outcome).
    bool HasSpelling(std::string_view word) const;
    // Empties the set for the next file and lets go of its store; views handed out before are
    // invalid afterwards.
    void Clear();
    // Takes the words of `from`, settled, with the store they view, in place of its own; `from`
    // is left empty. A parsing thread fills one TFileWords page after page, so that the tables
    // it probes for every word stay in its processor's caches, and hands each page's words on
    // in another; that one is never offered a word, and its tables stay cold and small.
    void TakeWords(TFileWords& from);

    size_t Count() const { return words_.size(); }
    // The words in the order they were added, or sorted once SortedWords has been called.
    const std::vector<TFileWord>& Words() const { return words_; }
    // Sorts the words by the word comparison (by key) and returns them.
    const std::vector<TFileWord>& SortedWords();
    // The Serial of the store the words' Ids belong to; 0 when the file holds no store.
    std::uint64_t StoreSerial() const { return store_ ? store_->Serial() : 0; }

private:
    static constexpr size_t kKeptWords = 1 << 14;
    static constexpr size_t kMaxPending = 1 << 10;

    // The spellings offered (numbered in the order offered); the texts are the store's, or the
    // caller's until Settle.
    // Offer of a spelling new to the file, whose slot is `at`.
    void OfferNew(size_t at, std::uint64_t hash, std::string_view word, TLexicon& lexicon,
                  const TWordFilter& filter);
    // Takes in one spelling new to the file, now in the store as `id`.
    enum class Outcome { Added, Present, Rejected };
    Outcome Take(std::uint32_t id, const TWordFilter& filter);

    // A spelling offered and not yet settled: its bytes (the caller's), hash, and its number in
    // spellings_.
    struct Pending {
        std::string_view Word;
        std::uint64_t Hash;
        std::uint32_t Number;
    };
    std::vector<Pending> pending_;
    TLexicon* pendingLexicon_ = nullptr;
    TWordFilter pendingFilter_;

    std::shared_ptr<TLexiconStore> store_;
    TViewSlots spellings_;
    TViewSet keys_;  // the keys of the words taken (the store's texts)
    std::vector<TFileWord> words_;
    bool sorted_ = true;
};

}  // namespace tarnwick
