#include "ui/word_view_model.h"

#include <algorithm>

#include "support/word_compare.h"
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
        return ToQt(words_[static_cast<size_t>(index.row())]);
    }
    return {};
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

void WordViewModel::Sort() {
    emit layoutAboutToBeChanged();
    const WordCollator& collator = WordCollator::Instance();
    // Keys once per word, then plain byte comparisons: far cheaper than collating in the sort.
    std::vector<std::pair<std::string, size_t>> keyed;
    keyed.reserve(words_.size());
    for (size_t i = 0; i < words_.size(); ++i) {
        keyed.emplace_back(collator.Key(words_[i]), i);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> sorted;
    sorted.reserve(words_.size());
    for (const auto& [key, i] : keyed) {
        sorted.push_back(std::move(words_[i]));
    }
    words_ = std::move(sorted);
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
