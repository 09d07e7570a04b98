// The word view's model: the parsed words as the main window shows them, one row per word, in
// their original bytes, which are in the open project's code page. A project can have hundreds of
// thousands of words, so the view holds no widget item per word; the parse run appends in batches
// and sorts once at its end.
#pragma once

#include <QAbstractListModel>
#include <string>
#include <string_view>
#include <vector>

#include "support/word_compare.h"

namespace tarnwick {

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
    // Removes the given rows (any order, no duplicates).
    void RemoveRows(std::vector<int> rows);

    const std::string& Word(int row) const { return words_[static_cast<size_t>(row)]; }
    const std::vector<std::string>& Words() const { return words_; }

private:
    std::vector<std::string> words_;
    const WordCollator* collator_ = &WordCollator::Instance();
};

}  // namespace tarnwick
