#include "pipeline/word_list.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "support/word_compare.h"

namespace tarnwick {

size_t TWordList::Probe(std::string_view key, std::uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    for (;;) {
        const Slot& slot = slots_[at];
        if (!slot.Entry ||
            (slot.Hash == hash && SameText(std::string_view(slot.Key, slot.KeyLength), key))) {
            return at;
        }
        at = (at + 1) & mask;
    }
}

void TWordList::Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.Entry) {
            size_t at = slot.Hash & mask;
            while (slots_[at].Entry) {
                at = (at + 1) & mask;
            }
            slots_[at] = slot;
        }
    }
}

const TIndexEntry* TWordList::FindEntry(std::string_view word) const {
    const std::string key = WordCollator::Instance().Key(word);
    return slots_[Probe(key, HashText(key))].Entry;
}

TIndexEntry* TWordList::FindEntry(std::string_view word) {
    const std::string key = WordCollator::Instance().Key(word);
    return slots_[Probe(key, HashText(key))].Entry;
}

bool TWordList::MergeKeyed(std::string_view word, std::string_view key, std::uint64_t hash,
                           TopicIndex file) {
    size_t at = Probe(key, hash);
    if (TIndexEntry* entry = slots_[at].Entry) {
        entry->AddFile(file);
        return false;
    }
    if ((store_.size() + 1) * 4 > slots_.size() * 3) {
        Grow();
        at = Probe(key, hash);
    }
    TIndexEntry& entry = store_.emplace_back(std::string(word), file);
    const std::string_view stored = keyTexts_.Store(key);
    keys_.push_back(stored);
    entries_.push_back(&entry);
    slots_[at] = Slot{hash, &entry, stored.data(), static_cast<std::uint32_t>(stored.size())};
    return true;
}

void TWordList::MergeFileWords(TFileWords& fileWords, TopicIndex file,
                               const NewWordsSink& onNewWords) {
    std::vector<std::string_view> created;
    const std::vector<TFileWord>& words = fileWords.SortedWords();
    // The index and the entries are far larger than the caches, and a merge does little with
    // what it fetches. So the words go in groups: first the slots of the whole group are asked
    // for, then (the slots having arrived) the keys and entries they name, then the ends of
    // those entries' file lists, and only then is the group merged, its memory waits overlapped.
    constexpr size_t kGroup = 32;
    for (size_t first = 0; first < words.size(); first += kGroup) {
        const size_t last = std::min(words.size(), first + kGroup);
        const size_t mask = slots_.size() - 1;
        for (size_t i = first; i < last; ++i) {
            __builtin_prefetch(&slots_[words[i].KeyHash & mask]);
        }
        for (size_t i = first; i < last; ++i) {
            const Slot& slot = slots_[words[i].KeyHash & mask];
            if (slot.Entry) {
                __builtin_prefetch(slot.Key);
                __builtin_prefetch(slot.Entry);
            }
        }
        for (size_t i = first; i < last; ++i) {
            const Slot& slot = slots_[words[i].KeyHash & mask];
            if (slot.Entry) {
                const std::vector<TopicIndex>& files = slot.Entry->Files;
                __builtin_prefetch(files.data() + files.size(), 1);
            }
        }
        for (size_t i = first; i < last; ++i) {
            const TFileWord& word = words[i];
            if (MergeKeyed(word.Word, word.Key, word.KeyHash, file) && onNewWords) {
                created.push_back(entries_.back()->Word);
            }
        }
    }
    if (onNewWords && !created.empty()) {
        onNewWords(created);
    }
}

bool TWordList::MergeWord(std::string_view word, TopicIndex file) {
    const std::string key = WordCollator::Instance().Key(word);
    return MergeKeyed(word, key, HashText(key), file);
}

void TWordList::SortWordList() {
    // Keys sort in word order, and no two entries share a key. The prefixes settle nearly every
    // comparison without reading the keys.
    struct Keyed {
        TKeyPrefix Prefix;
        std::string_view Key;
        TIndexEntry* Entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(store_.size());
    size_t i = 0;
    for (TIndexEntry& entry : store_) {
        keyed.push_back({TKeyPrefix::Of(keys_[i]), keys_[i], &entry});
        ++i;
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return KeyLess(a.Prefix, a.Key, b.Prefix, b.Key);
    });
    for (size_t k = 0; k < keyed.size(); ++k) {
        entries_[k] = keyed[k].Entry;
    }
}

void TWordList::ClearWordList() {
    entries_.clear();
    store_.clear();
    keys_.clear();
    keyTexts_.Clear();
    slots_.assign(kInitialSlots, Slot{});
}

}  // namespace tarnwick
