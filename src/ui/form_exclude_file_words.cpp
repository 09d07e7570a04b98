// The exclude-list editor's word view: adding, removing and restoring words, the count and the
// columns. The view and words_ hold the same words, row for row, in the order of the editor's
// collator.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "support/utils.h"
#include "support/word_compare.h"
#include "ui/form_exclude_file.h"
#include "ui/qt_text.h"

namespace tarnwick {

void TfrmEdit::UpdateCount() {
    lblCountValue->setText(QStringLiteral("Count = ") +
                           QString::fromStdString(GroupDigits(std::to_string(words_.size()))));
    lblCountValue->repaint();
}

void TfrmEdit::ApplyColumns(int position) {
    columns_ = std::clamp(position, kMinColumns, kMaxColumns);
    lbxWords->setFlow(QListView::TopToBottom);
    if (columns_ == 1) {
        lbxWords->setWrapping(false);
        lbxWords->setGridSize(QSize());
        lbxWords->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        lbxWords->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        return;
    }
    // Columns fill top to bottom and scroll sideways, never up and down.
    lbxWords->setWrapping(true);
    lbxWords->setResizeMode(QListView::Adjust);
    lbxWords->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lbxWords->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int width = std::max(1, lbxWords->viewport()->width() / columns_);
    lbxWords->setGridSize(QSize(width, lbxWords->fontMetrics().height() + 2));
}

void TfrmEdit::actAddWordExecute() {
    const std::optional<std::string> typed = FromQt(ebxWord->text(), collator_.CodePage());
    if (!typed) {
        return;
    }
    const std::string word(TrimBlanks(*typed));
    if (word.empty()) {
        return;
    }
    int row = FindWord(word);
    if (row < 0) {
        row = InsertWord(word);
        viewChanged_ = true;
        btnSave->setEnabled(true);
        UpdateCount();
    }
    SelectRow(row, true);
    ebxWord->clear();
    ebxWord->setFocus();
}

void TfrmEdit::actDelWordExecute() {
    bool removed = false;
    for (int row = lbxWords->count() - 1; row >= 0; --row) {
        if (lbxWords->item(row)->isSelected()) {
            removedWords_.push_back(words_[static_cast<size_t>(row)]);
            RemoveRow(row);
            removed = true;
        }
    }
    if (removed) {
        UpdateCount();
        viewChanged_ = true;
        btnSave->setEnabled(true);
    }
    actUnRemove->setEnabled(!removedWords_.empty());
}

void TfrmEdit::actUnRemoveExecute() {
    if (removedWords_.empty()) {
        return;
    }
    const std::string word = std::move(removedWords_.back());
    removedWords_.pop_back();
    const int row = InsertWord(word);
    UpdateCount();
    SelectRow(row, false);
    // A restored word changes the list shown, which may not be the one it was removed from:
    // it is an unsaved change like any other.
    viewChanged_ = true;
    btnSave->setEnabled(true);
    actUnRemove->setEnabled(!removedWords_.empty());
}

void TfrmEdit::spnColumnsClick() {
    ApplyColumns(spnColumns->value());
}

void TfrmEdit::SetViewWords(std::vector<std::string> words) {
    words_ = std::move(words);
    lbxWords->setUpdatesEnabled(false);
    lbxWords->clear();
    for (const std::string& word : words_) {
        lbxWords->addItem(ToQt(word, collator_.CodePage()));
    }
    lbxWords->setUpdatesEnabled(true);
}

int TfrmEdit::InsertWord(const std::string& word) {
    const auto at = std::upper_bound(words_.begin(), words_.end(), word, WordLess{&collator_});
    const int row = static_cast<int>(at - words_.begin());
    words_.insert(at, word);
    lbxWords->insertItem(row, ToQt(word, collator_.CodePage()));
    return row;
}

int TfrmEdit::FindWord(std::string_view word) const {
    const auto at = std::lower_bound(words_.begin(), words_.end(), word, WordLess{&collator_});
    if (at != words_.end() && collator_.Equal(*at, word)) {
        return static_cast<int>(at - words_.begin());
    }
    return -1;
}

void TfrmEdit::RemoveRow(int row) {
    delete lbxWords->takeItem(row);
    words_.erase(words_.begin() + row);
}

void TfrmEdit::SelectRow(int row, bool clearOthers) {
    if (clearOthers) {
        lbxWords->clearSelection();
    }
    QListWidgetItem* item = lbxWords->item(row);
    if (!item) {
        return;
    }
    item->setSelected(true);
    lbxWords->setCurrentItem(item, QItemSelectionModel::Current);
    lbxWords->scrollToItem(item);
}

}  // namespace tarnwick
