// The word view's details mode: the words of the word view as a table of word, topics (how many
// topics the word is found in) and first topic, in an order of its own chosen by a column. The
// rows stay those of the word view, whose order (the word order) the list mode keeps showing;
// this model only holds a permutation of them, so that sorting hundreds of thousands of words by
// their counts costs one sort of row numbers and no word comparison.
#pragma once

#include <QAbstractProxyModel>
#include <cstdint>
#include <vector>

namespace tarnwick {

class WordViewModel;

class WordDetailsModel : public QAbstractProxyModel {
    Q_OBJECT
public:
    enum Column { kWordColumn = 0, kTopicsColumn = 1, kFirstTopicColumn = 2, kColumnCount = 3 };

    // Shows `words`, which must outlive the model.
    explicit WordDetailsModel(WordViewModel* words, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;

    // Words by the word comparison; topics by their number, and first topics by the word
    // comparison of their names, both with equal ones in word order whichever the direction.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int SortColumn() const { return sortColumn_; }
    Qt::SortOrder SortOrder() const { return sortOrder_; }

    // The word view's row shown at `row`.
    int SourceRow(int row) const { return static_cast<int>(order_[static_cast<size_t>(row)]); }

private:
    void WordsAboutToBeReset();
    void WordsReset();
    void WordsInserted(int first, int last);
    void WordsAboutToBeRemoved(int first, int last);
    void WordsRemoved(int first, int last);
    void WordsChanged();
    // The row order of the chosen column, from the word view's rows.
    std::vector<std::uint32_t> SortedOrder() const;
    void RebuildPositions();

    WordViewModel* words_;
    int sortColumn_ = kWordColumn;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    std::vector<std::uint32_t> order_;      // shown row -> word view's row
    std::vector<std::uint32_t> positions_;  // word view's row -> shown row
};

}  // namespace tarnwick
