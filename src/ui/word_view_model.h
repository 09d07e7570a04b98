// The word view's model: the parsed words as the main window shows them, one row per word, in
// their original bytes, which are in the open project's code page. A project can have hundreds of
// thousands of words, so the view holds no widget item per word; the parse run appends in batches
// and sorts once at its end. Once the run has ended each row also knows its word list entry, and
// so the topics the word is found in.
#pragma once

#include <QAbstractListModel>
#include <string>
#include <string_view>
#include <vector>

#include "support/word_compare.h"

namespace tarnwick {

class TIndexEntry;
class TWordList;

class WordViewModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The comparison of the open project's words, whose code page also shows them; Windows-1252
    // until set. The main window sets it whenever a project opens or closes, with the view
    // empty: words already shown keep their order.
    void SetCollator(const WordCollator& collator);

    void Clear();
    // Appends words as given: the word list hands over only words it did not hold yet.
    void Append(const std::vector<std::string_view>& words);
    // The same, taking the strings over.
    void AppendOwned(std::vector<std::string>&& words);
    // Sorts with the collator (stable, so equal spellings keep their order).
    void Sort();
    // Replaces the words with `words`, in their order: the same words already in order.
    void Assign(std::vector<std::string>&& words);
    // Replaces the words with the list's entries, in the list's order, which must be the word
    // order (a parse run's list once sorted). The entries must stay where they are until the
    // view is cleared or assigned again (the list's next parse clears the view first).
    void AssignEntries(const TWordList& list);
    // The project's topic list, which TIndexEntry::Files index; it must outlive the model or be
    // set again. Null: none.
    void SetTopics(const std::vector<std::string>* topics);
    // Removes the given rows (any order, no duplicates).
    void RemoveRows(std::vector<int> rows);

    const std::string& Word(int row) const { return words_[static_cast<size_t>(row)]; }
    const std::vector<std::string>& Words() const { return words_; }
    // The word list entry of a row; null for words appended or assigned as bare words.
    const TIndexEntry* Entry(int row) const { return entries_[static_cast<size_t>(row)]; }
    // Whether the rows are in word order: after a sort or an assignment, until words are
    // appended.
    bool InWordOrder() const { return inWordOrder_; }
    const std::vector<std::string>* Topics() const { return topics_; }
    const WordCollator& Collator() const { return *collator_; }
    // The topic entry a row's word was first found in, as the project writes it; empty when the
    // row has no entry.
    std::string_view FirstTopic(int row) const;
    // "garden: 12 of 86 topics": the row's word, the topics it is found in and the project's
    // page topics; empty for a row without an entry.
    QString TopicSummary(int row) const;

private:
    std::vector<std::string> words_;
    std::vector<const TIndexEntry*> entries_;  // parallel to words_
    bool inWordOrder_ = true;
    const std::vector<std::string>* topics_ = nullptr;
    size_t pageTopics_ = 0;
    const WordCollator* collator_ = &WordCollator::Instance();
};

}  // namespace tarnwick
