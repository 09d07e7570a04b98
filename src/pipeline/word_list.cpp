#include "pipeline/word_list.h"

#include <algorithm>
#include <utility>

#include "support/word_compare.h"

namespace tarnwick {

const TIndexEntry* TWordList::FindEntry(std::string_view word) const {
    const auto* item = index_.Find(WordCollator::Instance().Key(word));
    return item ? item->Data : nullptr;
}

TIndexEntry* TWordList::FindEntry(std::string_view word) {
    const auto* item = index_.Find(WordCollator::Instance().Key(word));
    return item ? item->Data : nullptr;
}

bool TWordList::MergeKeyed(std::string_view word, std::string_view key, TopicIndex file) {
    if (auto* item = index_.Find(key)) {
        item->Data->AddFile(file);
        return false;
    }
    entries_.push_back(std::make_unique<TIndexEntry>(std::string(word), file));
    index_.Insert(key).first->Data = entries_.back().get();
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
    byKey.reserve(index_.Size());
    for (const auto& item : index_.Items()) {
        byKey.emplace_back(item.Text, item.Data);
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
    index_.Clear();
    entries_.clear();
}

}  // namespace tarnwick
