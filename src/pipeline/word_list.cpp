#include "pipeline/word_list.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <utility>

#include "pipeline/text_hash.h"
#include "support/word_compare.h"

namespace tarnwick {

size_t TWordList::Probe(std::string_view key, std::uint64_t hash) const {
    return slots_.Probe(hash, [&](const Slot& slot) {
        return slot.Hash == hash && SameText(std::string_view(slot.Key, slot.KeyLength), key);
    });
}

TIndexEntry& TWordList::AddEntry(std::string_view word, std::string_view key, std::uint64_t hash,
                                 TopicIndex file) {
    if (slots_.MustGrow(store_.size())) {
        slots_.Grow([](const Slot& slot) { return slot.Hash; });
    }
    const size_t at = Probe(key, hash);
    TIndexEntry& entry = store_.emplace_back(std::string(word), file);
    const std::string_view stored = keyTexts_.Store(key);
    keys_.push_back(stored);
    entries_.push_back(&entry);
    slots_[at] = Slot{hash, &entry, stored.data(), static_cast<std::uint32_t>(stored.size())};
    return entry;
}

TWordList::StoreEntries* TWordList::RememberedFor(std::uint64_t serial) {
    if (serial == 0) {
        return nullptr;
    }
    ++merges_;
    StoreEntries* oldest = nullptr;
    for (StoreEntries& store : remembered_) {
        if (store.Serial != serial && store.LastUse + kForgetAfter < merges_) {
            store.Entries = std::vector<TIndexEntry*>();  // its memory is not needed any more
        }
        if (store.Serial == serial) {
            store.LastUse = merges_;
            return &store;
        }
        if (!oldest || store.LastUse < oldest->LastUse) {
            oldest = &store;
        }
    }
    if (remembered_.size() < kRememberedStores) {
        oldest = &remembered_.emplace_back();
    }
    oldest->Serial = serial;
    oldest->LastUse = merges_;
    oldest->Entries.clear();
    return oldest;
}

void TWordList::MergeFileWords(TFileWords& fileWords, TopicIndex file,
                               const NewWordsSink& onNewWords, size_t from, size_t wordCount) {
    const std::vector<TFileWord>& all = fileWords.Words();
    from = std::min(from, all.size());
    const std::span<const TFileWord> words(all.data() + from,
                                           std::min(wordCount, all.size() - from));
    StoreEntries* const known = RememberedFor(fileWords.StoreSerial());
    // The entries and their file lists are far larger than the caches, and a merge does little
    // with what it fetches. So the words go in groups: first the entries of the whole group are
    // asked for, then the ends of their file lists, and only then is the group merged, its
    // memory waits overlapped. A word whose entry is not known yet waits for the second pass.
    unknown_.clear();
    constexpr size_t kGroup = 16;
    TIndexEntry* group[kGroup];
    for (size_t first = 0; first < words.size(); first += kGroup) {
        const size_t count = std::min(kGroup, words.size() - first);
        for (size_t i = 0; i < count; ++i) {
            const std::uint32_t id = words[first + i].Id;
            group[i] = known && id < known->Entries.size() ? known->Entries[id] : nullptr;
            if (group[i]) {
                __builtin_prefetch(group[i]);
            }
        }
        for (size_t i = 0; i < count; ++i) {
            if (group[i]) {
                const std::vector<TopicIndex>& files = group[i]->Files;
                __builtin_prefetch(files.data() + files.size(), 1);
            }
        }
        for (size_t i = 0; i < count; ++i) {
            if (group[i]) {
                group[i]->AddFile(file);
            } else {
                unknown_.push_back(words[first + i]);
            }
        }
    }
    if (unknown_.empty()) {
        return;
    }

    // The others are looked up in the index. Most are in the list already: other spellings of
    // words met before, and, after a parser has renewed its store, every word the old store knew.
    // Only the words new to the list are sorted, so that their entries are made in word order
    // whatever was known.
    const auto remember = [known](const TFileWord& word, TIndexEntry* entry) {
        if (known) {
            if (word.Id >= known->Entries.size()) {
                known->Entries.resize(std::max<size_t>(word.Id + 1, known->Entries.size() * 3 / 2));
            }
            known->Entries[word.Id] = entry;
        }
    };
    fresh_.clear();
    for (size_t first = 0; first < unknown_.size(); first += kGroup) {
        const size_t last = std::min(unknown_.size(), first + kGroup);
        for (size_t i = first; i < last; ++i) {
            slots_.Prefetch(unknown_[i].KeyHash);
        }
        for (size_t i = first; i < last; ++i) {
            const Slot& slot = slots_.First(unknown_[i].KeyHash);
            if (!slot.Free()) {
                __builtin_prefetch(slot.Key);
                __builtin_prefetch(slot.Entry);
            }
        }
        for (size_t i = first; i < last; ++i) {
            const TFileWord& word = unknown_[i];
            if (TIndexEntry* entry = slots_[Probe(word.Key, word.KeyHash)].Entry) {
                entry->AddFile(file);
                remember(word, entry);
            } else {
                fresh_.push_back(word);
            }
        }
    }
    if (fresh_.empty()) {
        return;
    }
    SortByKey(fresh_, [](const TFileWord& word) { return word.Key; });
    std::vector<std::string_view> created;
    for (const TFileWord& word : fresh_) {
        TIndexEntry& entry = AddEntry(word.Word, word.Key, word.KeyHash, file);
        if (onNewWords) {
            created.push_back(entry.Word);
        }
        remember(word, &entry);
    }
    if (onNewWords) {
        onNewWords(created);
    }
}

void TWordList::SortWordList(int threads) {
    // The run is over: what the merge remembered of the parsers' stores is of no more use.
    remembered_ = std::vector<StoreEntries>();

    // Keys sort in word order, and no two entries share a key.
    const std::vector<std::uint32_t> order = OrderByKey(
        store_.size(), [this](size_t i) { return keys_[i]; }, threads);
    for (size_t k = 0; k < order.size(); ++k) {
        entries_[k] = &store_[order[k]];
    }
}

void TWordList::ClearWordList() {
    entries_.clear();
    store_.clear();
    keys_.clear();
    keyTexts_.Clear();
    slots_.Reset(kInitialSlots);
    remembered_.clear();
}

}  // namespace tarnwick
