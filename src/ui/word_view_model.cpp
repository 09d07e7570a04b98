#include "ui/word_view_model.h"

#include <algorithm>

#include "pipeline/word_order.h"
#include "ui/qt_text.h"

namespace tarnwick {

int WordViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(words_.size());
}

QVariant WordViewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(words_.size())) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return ToQt(words_[static_cast<size_t>(index.row())], collator_->CodePage());
    }
    return {};
}

void WordViewModel::SetCollator(const WordCollator& collator) {
    collator_ = &collator;
    if (!words_.empty()) {
        // The same bytes read as other characters.
        emit dataChanged(index(0), index(static_cast<int>(words_.size()) - 1));
    }
}

void WordViewModel::Clear() {
    beginResetModel();
    words_.clear();
    words_.shrink_to_fit();
    endResetModel();
}

void WordViewModel::Append(const std::vector<std::string_view>& words) {
    if (words.empty()) {
        return;
    }
    // The word list hands over only words it has not seen, so no duplicate check is needed here.
    const int first = static_cast<int>(words_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(words.size()) - 1);
    for (std::string_view word : words) {
        words_.emplace_back(word);
    }
    endInsertRows();
}

void WordViewModel::AppendOwned(std::vector<std::string>&& words) {
    if (words.empty()) {
        return;
    }
    const int first = static_cast<int>(words_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(words.size()) - 1);
    if (words_.empty()) {
        words_ = std::move(words);
    } else {
        words_.insert(words_.end(), std::make_move_iterator(words.begin()),
                      std::make_move_iterator(words.end()));
    }
    endInsertRows();
}

void WordViewModel::Assign(std::vector<std::string>&& words) {
    beginResetModel();
    words_ = std::move(words);
    endResetModel();
}

void WordViewModel::Sort() {
    emit layoutAboutToBeChanged();
    // Equal words keep their order.
    SortWordsByKey(words_, *collator_);
    emit layoutChanged();
}

void WordViewModel::RemoveRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    // Remove runs of neighbouring rows at once, from the last to the first.
    size_t i = 0;
    while (i < rows.size()) {
        int last = rows[i];
        int first = last;
        while (i + 1 < rows.size() && rows[i + 1] == first - 1) {
            first = rows[++i];
        }
        ++i;
        beginRemoveRows(QModelIndex(), first, last);
        words_.erase(words_.begin() + first, words_.begin() + last + 1);
        endRemoveRows();
    }
}

}  // namespace tarnwick
