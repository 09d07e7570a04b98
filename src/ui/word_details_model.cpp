#include "ui/word_details_model.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "pipeline/index_entry.h"
#include "pipeline/topic_counts.h"
#include "pipeline/word_order.h"
#include "ui/qt_text.h"
#include "ui/word_view_model.h"

namespace tarnwick {

WordDetailsModel::WordDetailsModel(WordViewModel* words, QObject* parent)
    : QAbstractProxyModel(parent), words_(words) {
    setSourceModel(words);
    connect(words, &QAbstractItemModel::modelAboutToBeReset, this,
            &WordDetailsModel::WordsAboutToBeReset);
    connect(words, &QAbstractItemModel::modelReset, this, &WordDetailsModel::WordsReset);
    // The word view reorders its rows only when it sorts them all: shown anew, like a reset.
    connect(words, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &WordDetailsModel::WordsAboutToBeReset);
    connect(words, &QAbstractItemModel::layoutChanged, this, &WordDetailsModel::WordsReset);
    connect(words, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) {
                const int shown = static_cast<int>(order_.size());
                beginInsertRows(QModelIndex(), shown, shown + last - first);
            });
    connect(words, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { WordsInserted(first, last); });
    connect(
        words, &QAbstractItemModel::rowsAboutToBeRemoved, this,
        [this](const QModelIndex&, int first, int last) { WordsAboutToBeRemoved(first, last); });
    connect(words, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { WordsRemoved(first, last); });
    connect(words, &QAbstractItemModel::dataChanged, this, &WordDetailsModel::WordsChanged);
    order_ = SortedOrder();
    RebuildPositions();
}

int WordDetailsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int WordDetailsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QModelIndex WordDetailsModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount) {
        return {};
    }
    return createIndex(row, column);
}

QModelIndex WordDetailsModel::parent(const QModelIndex&) const {
    return {};
}

QModelIndex WordDetailsModel::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || proxyIndex.row() >= rowCount()) {
        return {};
    }
    return words_->index(SourceRow(proxyIndex.row()));
}

QModelIndex WordDetailsModel::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || sourceIndex.row() >= static_cast<int>(positions_.size())) {
        return {};
    }
    return index(static_cast<int>(positions_[static_cast<size_t>(sourceIndex.row())]), 0);
}

QVariant WordDetailsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const int row = SourceRow(index.row());
    switch (index.column()) {
        case kWordColumn:
            return words_->data(words_->index(row), role);
        case kTopicsColumn:
            if (role == Qt::TextAlignmentRole) {
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            }
            if (role == Qt::DisplayRole && words_->Entry(row)) {
                return static_cast<qulonglong>(TopicCount(*words_->Entry(row)));
            }
            return {};
        case kFirstTopicColumn:
            if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
                // Topic entries are the project's text, in its code page like its words.
                return ToQt(words_->FirstTopic(row), words_->Collator().CodePage());
            }
            return {};
        default:
            return {};
    }
}

QVariant WordDetailsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case kWordColumn:
            return QStringLiteral("Word");
        case kTopicsColumn:
            return QStringLiteral("Topics");
        case kFirstTopicColumn:
            return QStringLiteral("First Topic");
        default:
            return {};
    }
}

void WordDetailsModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumnCount) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // What the views hold on to (the current row, the selection) follows its word.
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sourceRows;
    sourceRows.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before) {
        sourceRows.push_back(index.isValid() ? SourceRow(index.row()) : -1);
    }
    sortColumn_ = column;
    sortOrder_ = order;
    order_ = SortedOrder();
    RebuildPositions();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int source = sourceRows[static_cast<size_t>(i)];
        after.push_back(source < 0
                            ? QModelIndex()
                            : index(static_cast<int>(positions_[static_cast<size_t>(source)]),
                                    before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<std::uint32_t> WordDetailsModel::SortedOrder() const {
    const size_t count = static_cast<size_t>(words_->rowCount());
    // The rows in word order: as they are once the word view is sorted, which is how a parse
    // leaves it; otherwise (words still arriving) by their keys, each made once.
    std::vector<std::uint32_t> order(count);
    if (words_->InWordOrder()) {
        std::iota(order.begin(), order.end(), 0u);
    } else {
        TKeyMaker keys(words_->Collator());
        TTextArena keyTexts(1 << 20);
        order = OrderByKey(count, [&](size_t row) {
            return keyTexts.Store(keys.KeyOf(words_->Word(static_cast<int>(row))));
        });
    }
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    if (sortColumn_ == kWordColumn) {
        if (descending) {
            std::reverse(order.begin(), order.end());
        }
        return order;
    }
    // One number per row, then a stable sort of the word order by it: equal numbers keep their
    // words in word order in either direction. The topic list is sorted by the word comparison,
    // so a first topic's position is its place in that order.
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> keys(count);
    for (size_t row = 0; row < count; ++row) {
        const TIndexEntry* entry = words_->Entry(static_cast<int>(row));
        if (sortColumn_ == kTopicsColumn) {
            keys[row] = entry ? static_cast<std::uint32_t>(TopicCount(*entry)) : 0;
        } else {
            keys[row] = entry && !entry->Files.empty() ? entry->Files[0] : kNone;
        }
    }
    if (descending) {
        std::stable_sort(order.begin(), order.end(),
                         [&keys](std::uint32_t a, std::uint32_t b) { return keys[a] > keys[b]; });
    } else {
        std::stable_sort(order.begin(), order.end(),
                         [&keys](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    }
    return order;
}

void WordDetailsModel::RebuildPositions() {
    positions_.assign(order_.size(), 0);
    for (size_t shown = 0; shown < order_.size(); ++shown) {
        positions_[order_[shown]] = static_cast<std::uint32_t>(shown);
    }
}

void WordDetailsModel::WordsAboutToBeReset() {
    beginResetModel();
}

void WordDetailsModel::WordsReset() {
    order_ = SortedOrder();
    RebuildPositions();
    endResetModel();
}

void WordDetailsModel::WordsInserted(int first, int last) {
    // New words are shown after the others until the view is sorted again (the parse run's end
    // sorts the word view, which sorts this anew).
    const auto added = static_cast<std::uint32_t>(last - first + 1);
    for (std::uint32_t& row : order_) {
        if (row >= static_cast<std::uint32_t>(first)) {
            row += added;
        }
    }
    for (int row = first; row <= last; ++row) {
        order_.push_back(static_cast<std::uint32_t>(row));
    }
    RebuildPositions();
    endInsertRows();
}

void WordDetailsModel::WordsAboutToBeRemoved(int first, int last) {
    // The rows go while the word view still holds them, in runs of neighbouring shown rows.
    std::vector<int> shown;
    shown.reserve(static_cast<size_t>(last - first + 1));
    for (int row = first; row <= last; ++row) {
        shown.push_back(static_cast<int>(positions_[static_cast<size_t>(row)]));
    }
    std::sort(shown.begin(), shown.end(), std::greater<>());
    size_t i = 0;
    while (i < shown.size()) {
        const int end = shown[i];
        int begin = end;
        while (i + 1 < shown.size() && shown[i + 1] == begin - 1) {
            begin = shown[++i];
        }
        ++i;
        beginRemoveRows(QModelIndex(), begin, end);
        order_.erase(order_.begin() + begin, order_.begin() + end + 1);
        endRemoveRows();
    }
}

void WordDetailsModel::WordsRemoved(int first, int last) {
    const auto removed = static_cast<std::uint32_t>(last - first + 1);
    for (std::uint32_t& row : order_) {
        if (row > static_cast<std::uint32_t>(last)) {
            row -= removed;
        }
    }
    RebuildPositions();
}

void WordDetailsModel::WordsChanged() {
    if (!order_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
    }
}

}  // namespace tarnwick
