#include "pipeline/file_words.h"

#include <algorithm>

#include "support/word_compare.h"

namespace tarnwick {

TFileWords::Outcome TFileWords::Offer(std::string_view word, std::uint64_t filterGeneration,
                                      FilterFn passes, void* context) {
    if (offered_.Contains(word)) {
        // These very bytes were offered for this file already: taken, equal to a word taken,
        // or rejected - the answer cannot have changed.
        return Outcome::Present;
    }
    auto* item = spellings_.Insert(word).first;
    const std::string_view spellingText = item->Text;
    Spelling& spelling = item->Data;
    offered_.Insert(spellingText);
    if (passes) {
        if (spelling.VerdictGeneration != filterGeneration) {
            spelling.Passes = passes(context, spellingText);
            spelling.VerdictGeneration = filterGeneration;
        }
        if (!spelling.Passes) {
            return Outcome::Rejected;
        }
    }
    if (!spelling.HasKey) {
        spelling.Key = WordCollator::Instance().Key(spellingText);
        spelling.HasKey = true;
    }
    if (!keys_.Insert(spelling.Key)) {
        return Outcome::Present;  // another spelling of the word came first
    }
    words_.push_back({spellingText, spelling.Key});
    sorted_ = false;
    return Outcome::Added;
}

void TFileWords::Clear() {
    words_.clear();
    offered_.Clear();
    keys_.Clear();
    sorted_ = true;
    if (spellings_.Size() > kMaxCachedSpellings) {
        spellings_.Clear();
    }
}

const std::vector<TFileWord>& TFileWords::SortedWords() {
    if (!sorted_) {
        std::sort(words_.begin(), words_.end(),
                  [](const TFileWord& a, const TFileWord& b) { return a.Key < b.Key; });
        sorted_ = true;
    }
    return words_;
}

}  // namespace tarnwick
