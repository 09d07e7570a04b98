// TWordList: the word list of the open project - every index word with the topic files it was
// found in. The parse run fills and sorts it; the build run writes one index entry per word and
// topic file; the main window owns it for its whole life.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/file_words.h"
#include "pipeline/index_entry.h"
#include "pipeline/open_table.h"
#include "pipeline/text_arena.h"

namespace tarnwick {

// Owns its entries. After a parse run no two entries have words equal under the word comparison,
// the entries are in ascending word order, and each entry's Files are in topic-list order.
class TWordList {
public:
    // Read-only iteration over the entries, in list order.
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = TIndexEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = const TIndexEntry*;
        using reference = const TIndexEntry&;

        const_iterator() = default;
        explicit const_iterator(std::vector<TIndexEntry*>::const_iterator it) : it_(it) {}
        reference operator*() const { return **it_; }
        pointer operator->() const { return *it_; }
        reference operator[](difference_type n) const { return *it_[n]; }
        const_iterator& operator++() {
            ++it_;
            return *this;
        }
        const_iterator operator++(int) { return const_iterator(it_++); }
        const_iterator& operator--() {
            --it_;
            return *this;
        }
        const_iterator operator--(int) { return const_iterator(it_--); }
        const_iterator& operator+=(difference_type n) {
            it_ += n;
            return *this;
        }
        const_iterator& operator-=(difference_type n) {
            it_ -= n;
            return *this;
        }
        friend const_iterator operator+(const_iterator a, difference_type n) { return a += n; }
        friend const_iterator operator+(difference_type n, const_iterator a) { return a += n; }
        friend const_iterator operator-(const_iterator a, difference_type n) { return a -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return a.it_ - b.it_;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) = default;
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) = default;

    private:
        std::vector<TIndexEntry*>::const_iterator it_;
    };

    // Called with the words of the entries a merge created, in the order created. The views are
    // valid during the call only.
    using NewWordsSink = std::function<void(const std::vector<std::string_view>& words)>;

    TWordList() = default;
    TWordList(const TWordList&) = delete;
    TWordList& operator=(const TWordList&) = delete;

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const TIndexEntry& operator[](size_t i) const { return *entries_[i]; }
    const TIndexEntry& Entry(size_t i) const { return *entries_[i]; }
    const_iterator begin() const { return const_iterator(entries_.begin()); }
    const_iterator end() const { return const_iterator(entries_.end()); }

    // Merges one file's words: an equal entry gets `file` appended to its Files (its spelling
    // stays); otherwise a new entry with the word and `file` is appended. New entries are made
    // in word order, as if the words were taken in the order of fileWords.SortedWords().
    // `onNewWords` (when set) receives the words of the new entries, in that order, once per
    // call, only when there are any.
    // A file of very many words may be merged in parts: the call then takes only its words
    // `from` to `from + wordCount - 1` in the order of fileWords.Words(), and its new entries are
    // in word order within that part. Every part is merged, once, before the next file.
    void MergeFileWords(TFileWords& fileWords, TopicIndex file, const NewWordsSink& onNewWords = {},
                        size_t from = 0, size_t wordCount = SIZE_MAX);
    // Sorts the entries by Word under the word comparison, on up to `threads` threads.
    void SortWordList(int threads = 1);
    // Takes out of the list, once it is sorted, every entry for which `drop` says so; the others
    // keep their order. What is taken out is gone from the list for good (it is no longer merged
    // into), but its memory stays until ClearWordList.
    template <class Drop>
    void RemoveEntries(const Drop& drop) {
        std::erase_if(entries_, [&drop](const TIndexEntry* entry) { return drop(*entry); });
    }
    // Destroys every entry and empties the list.
    void ClearWordList();

private:
    // The index from comparison key to entry: slots that hold what a lookup needs (hash, key,
    // entry), so that a lookup reads one slot and the key's text.
    struct Slot {
        std::uint64_t Hash = 0;
        TIndexEntry* Entry = nullptr;  // null for a free slot
        const char* Key = nullptr;
        std::uint32_t KeyLength = 0;
        bool Free() const { return Entry == nullptr; }
    };
    static constexpr size_t kInitialSlots = 1024;

    size_t Probe(std::string_view key, std::uint64_t hash) const;
    // A new entry for a key the index does not hold, with `file` as its first file.
    TIndexEntry& AddEntry(std::string_view word, std::string_view key, std::uint64_t hash,
                          TopicIndex file);

    // What the merge remembers of a lexicon store whose files it merged: the entry of each
    // spelling id, so that a word met before costs an array lookup instead of a probe of the index.
    // Entries never move and live until ClearWordList, which forgets these too.
    struct StoreEntries {
        std::uint64_t Serial = 0;
        std::uint64_t LastUse = 0;
        std::vector<TIndexEntry*> Entries;  // by spelling id; null where not known
    };
    // Stores in use at once: one per parser, and a retired one while its files are merged. A
    // store none of whose files came in the last kForgetAfter merges is retired for good.
    static constexpr size_t kRememberedStores = 16;
    static constexpr std::uint64_t kForgetAfter = 1024;
    // The memory of the store with `serial`, made (in place of the longest unused) if new;
    // null for serial 0.
    StoreEntries* RememberedFor(std::uint64_t serial);
    std::vector<StoreEntries> remembered_;
    std::uint64_t merges_ = 0;
    // Scratch of MergeFileWords: the words whose entries the store does not remember, and of
    // those the words new to the list.
    std::vector<TFileWord> unknown_;
    std::vector<TFileWord> fresh_;

    // The entries in list order; they live in store_, which never moves them.
    std::vector<TIndexEntry*> entries_;
    std::deque<TIndexEntry> store_;
    std::vector<std::string_view> keys_;  // the key of store_[i], in keyTexts_
    TTextArena keyTexts_;
    TOpenTable<Slot> slots_{kInitialSlots};
};

}  // namespace tarnwick
