#include "pipeline/word_list.h"

#include <algorithm>
#include <utility>

#include "support/word_compare.h"

namespace tarnwick {

const TIndexEntry* TWordList::FindEntry(std::string_view word) const {
    const auto it = index_.find(WordCollator::Instance().Key(word));
    return it == index_.end() ? nullptr : it->second;
}

TIndexEntry* TWordList::FindEntry(std::string_view word) {
    const auto it = index_.find(WordCollator::Instance().Key(word));
    return it == index_.end() ? nullptr : it->second;
}

bool TWordList::MergeKeyed(std::string_view word, std::string_view key, TopicIndex file) {
    const auto it = index_.find(key);
    if (it != index_.end()) {
        it->second->AddFile(file);
        return false;
    }
    entries_.push_back(std::make_unique<TIndexEntry>(std::string(word), file));
    index_.emplace(std::string(key), entries_.back().get());
    return true;
}

void TWordList::MergeFileWords(TFileWords& fileWords, TopicIndex file,
                               const NewWordsSink& onNewWords) {
    std::vector<std::string_view> created;
    for (const TFileWord& word : fileWords.SortedWords()) {
        if (MergeKeyed(word.Word, word.Key, file) && onNewWords) {
            created.push_back(entries_.back()->Word);
        }
    }
    if (onNewWords && !created.empty()) {
        onNewWords(created);
    }
}

bool TWordList::MergeWord(std::string_view word, TopicIndex file) {
    return MergeKeyed(word, WordCollator::Instance().Key(word), file);
}

void TWordList::SortWordList() {
    // Keys sort in word order, and no two entries share a key.
    std::vector<std::pair<std::string_view, TIndexEntry*>> byKey;
    byKey.reserve(index_.size());
    for (const auto& [key, entry] : index_) {
        byKey.emplace_back(key, entry);
    }
    std::sort(byKey.begin(), byKey.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::unique_ptr<TIndexEntry>> sorted;
    sorted.reserve(entries_.size());
    for (auto& entry : entries_) {
        entry.release();  // ownership moves to `sorted` below, in key order
    }
    for (const auto& item : byKey) {
        sorted.emplace_back(item.second);
    }
    entries_ = std::move(sorted);
}

void TWordList::ClearWordList() {
    index_.clear();
    entries_.clear();
}

}  // namespace tarnwick
