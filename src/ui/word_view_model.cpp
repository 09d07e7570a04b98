#include "ui/word_view_model.h"

#include <algorithm>

#include "pipeline/topic_counts.h"
#include "pipeline/word_list.h"
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

void WordViewModel::SetTopics(const std::vector<std::string>* topics) {
    topics_ = topics;
    pageTopics_ = topics ? PageTopicCount(*topics) : 0;
}

std::string_view WordViewModel::FirstTopic(int row) const {
    const TIndexEntry* entry = Entry(row);
    if (!entry || !topics_ || entry->Files.empty() || entry->Files[0] >= topics_->size()) {
        return {};
    }
    return (*topics_)[entry->Files[0]];
}

QString WordViewModel::TopicSummary(int row) const {
    if (row < 0 || row >= rowCount() || !Entry(row)) {
        return {};
    }
    return ToQt(Word(row), collator_->CodePage()) +
           QStringLiteral(": %1 of %2 topics").arg(TopicCount(*Entry(row))).arg(pageTopics_);
}

void WordViewModel::Clear() {
    beginResetModel();
    words_.clear();
    words_.shrink_to_fit();
    entries_.clear();
    entries_.shrink_to_fit();
    inWordOrder_ = true;
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
    entries_.resize(words_.size(), nullptr);
    inWordOrder_ = false;
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
    entries_.resize(words_.size(), nullptr);
    inWordOrder_ = false;
    endInsertRows();
}

void WordViewModel::Assign(std::vector<std::string>&& words) {
    beginResetModel();
    words_ = std::move(words);
    entries_.assign(words_.size(), nullptr);
    inWordOrder_ = true;
    endResetModel();
}

void WordViewModel::AssignEntries(const TWordList& list) {
    beginResetModel();
    words_.clear();
    words_.reserve(list.size());
    entries_.clear();
    entries_.reserve(list.size());
    for (const TIndexEntry& entry : list) {
        words_.push_back(entry.Word);
        entries_.push_back(&entry);
    }
    inWordOrder_ = true;
    endResetModel();
}

void WordViewModel::Sort() {
    emit layoutAboutToBeChanged();
    // Equal words keep their order; each row's entry goes with its word.
    TKeyMaker keys(*collator_);
    TTextArena keyTexts(1 << 20);
    const std::vector<std::uint32_t> order =
        OrderByKey(words_.size(), [&](size_t i) { return keyTexts.Store(keys.KeyOf(words_[i])); });
    std::vector<std::string> words;
    std::vector<const TIndexEntry*> entries;
    words.reserve(words_.size());
    entries.reserve(words_.size());
    for (std::uint32_t i : order) {
        words.push_back(std::move(words_[i]));
        entries.push_back(entries_[i]);
    }
    words_.swap(words);
    entries_.swap(entries);
    inWordOrder_ = true;
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
        entries_.erase(entries_.begin() + first, entries_.begin() + last + 1);
        endRemoveRows();
    }
}

}  // namespace tarnwick
