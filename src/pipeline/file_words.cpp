#include "pipeline/file_words.h"

#include <algorithm>

#include "support/word_compare.h"

namespace tarnwick {

bool TFileWords::Add(std::string_view word) {
    auto it = spellings_.find(word);
    if (it == spellings_.end()) {
        it = spellings_.emplace(std::string(word), Spelling{WordCollator::Instance().Key(word), 0})
                 .first;
    }
    Spelling& spelling = it->second;
    if (spelling.Stamp == stamp_) {
        return false;  // these very bytes were offered for this file already
    }
    spelling.Stamp = stamp_;
    if (!keys_.insert(std::string_view(spelling.Key)).second) {
        return false;  // another spelling of the word came first
    }
    words_.push_back({it->first, spelling.Key});
    sorted_ = false;
    return true;
}

bool TFileWords::HasSpelling(std::string_view word) const {
    const auto it = spellings_.find(word);
    return it != spellings_.end() && it->second.Stamp == stamp_;
}

void TFileWords::Clear() {
    words_.clear();
    keys_.clear();
    sorted_ = true;
    if (spellings_.size() > kMaxCachedSpellings) {
        spellings_.clear();
    }
    if (++stamp_ == 0) {
        // After four billion files the generations start again; no old stamp may match.
        for (auto& entry : spellings_) {
            entry.second.Stamp = 0;
        }
        stamp_ = 1;
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
