// The word view's model: the parsed words as the main window shows them, one row per word, in
// their original Windows-1252 bytes. A project can have hundreds of thousands of words, so the
// view holds no widget item per word; the parse run appends in batches and sorts once at its end.
#pragma once

#include <QAbstractListModel>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class WordViewModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void Clear();
    // Appends words as given: the word list hands over only words it did not hold yet.
    void Append(const std::vector<std::string_view>& words);
    // The same, taking the strings over.
    void AppendOwned(std::vector<std::string>&& words);
    // Sorts with the word comparison (stable, so equal spellings keep their order).
    void Sort();
    // Replaces the words with `words`, in their order: the same words already in order.
    void Assign(std::vector<std::string>&& words);
    // Removes the given rows (any order, no duplicates).
    void RemoveRows(std::vector<int> rows);

    const std::string& Word(int row) const { return words_[static_cast<size_t>(row)]; }
    const std::vector<std::string>& Words() const { return words_; }

private:
    std::vector<std::string> words_;
};

}  // namespace tarnwick
