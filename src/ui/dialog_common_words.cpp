#include "ui/dialog_common_words.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "app/program_folders.h"
#include "pipeline/topic_counts.h"
#include "pipeline/word_list.h"
#include "pipeline/word_order.h"
#include "store/config.h"
#include "store/kdf.h"
#include "support/message.h"
#include "support/utils.h"
#include "support/word_compare.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace tarnwick {

namespace {

constexpr int kLowestPercent = 1;
constexpr int kHighestPercent = 100;
constexpr int kDefaultPercent = 50;

}  // namespace

CommonWordsModel::CommonWordsModel(QObject* parent) : QAbstractTableModel(parent) {}

void CommonWordsModel::Prepare(const std::vector<std::string_view>& viewWords,
                               const TWordList& wordList, size_t topics,
                               const WordCollator& collator) {
    beginResetModel();
    codePage_ = &collator.CodePage();
    topics_ = topics;
    candidates_.clear();
    rows_.clear();
    // Only words common at the lowest share can ever be listed; in a big project most words are
    // found in a topic or two, so the words looked at shrink to a few at once.
    std::unordered_map<std::string_view, std::uint32_t> common;
    for (const TIndexEntry& entry : wordList) {
        if (IsCommonWord(TopicCount(entry), topics, kLowestPercent)) {
            common.emplace(entry.Word, static_cast<std::uint32_t>(TopicCount(entry)));
        }
    }
    // The words already moved to a list are no longer in the view and are not offered again.
    for (std::string_view word : viewWords) {
        if (const auto found = common.find(word); found != common.end()) {
            candidates_.push_back({found->first, found->second, 0, true});
        }
    }
    // Each candidate's place in the word order, made once from comparison keys, so that sorting
    // the shown rows by word compares numbers.
    TKeyMaker keys(collator);
    std::vector<std::string> keyTexts;
    keyTexts.reserve(candidates_.size());
    for (const Candidate& candidate : candidates_) {
        keyTexts.emplace_back(keys.KeyOf(candidate.Word));
    }
    const std::vector<std::uint32_t> order = OrderByKey(
        keyTexts.size(), [&keyTexts](size_t i) { return std::string_view(keyTexts[i]); });
    for (size_t rank = 0; rank < order.size(); ++rank) {
        candidates_[order[rank]].WordRank = static_cast<std::uint32_t>(rank);
    }
    std::sort(candidates_.begin(), candidates_.end(), [](const Candidate& a, const Candidate& b) {
        return a.Topics != b.Topics ? a.Topics > b.Topics : a.WordRank < b.WordRank;
    });
    endResetModel();
}

void CommonWordsModel::SetPercent(int percent) {
    // The candidates are in falling count order, so those that qualify are a leading run.
    const auto end = std::partition_point(
        candidates_.begin(), candidates_.end(),
        [&](const Candidate& c) { return IsCommonWord(c.Topics, topics_, percent); });
    beginResetModel();
    rows_.resize(static_cast<size_t>(end - candidates_.begin()));
    std::iota(rows_.begin(), rows_.end(), std::uint32_t{0});
    OrderRows();
    endResetModel();
    emit TicksChanged();
}

void CommonWordsModel::OrderRows() {
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    if (sortColumn_ == kTopicsColumn && descending) {
        return;  // the candidates' own order
    }
    std::sort(rows_.begin(), rows_.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Candidate& x = candidates_[a];
        const Candidate& y = candidates_[b];
        if (sortColumn_ == kTopicsColumn && x.Topics != y.Topics) {
            return x.Topics < y.Topics;
        }
        // By word, and among equal counts in word order.
        return (descending && sortColumn_ == kWordColumn) ? x.WordRank > y.WordRank
                                                          : x.WordRank < y.WordRank;
    });
}

void CommonWordsModel::sort(int column, Qt::SortOrder order) {
    if (column != kWordColumn && column != kTopicsColumn) {
        return;
    }
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    std::sort(rows_.begin(), rows_.end());  // back to the candidates' order first
    OrderRows();
    endResetModel();
}

int CommonWordsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CommonWordsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant CommonWordsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Candidate& candidate = At(index.row());
    if (index.column() == kWordColumn) {
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            return ToQt(candidate.Word, *codePage_);
        }
        if (role == Qt::CheckStateRole) {
            return candidate.Ticked ? Qt::Checked : Qt::Unchecked;
        }
    } else if (index.column() == kTopicsColumn) {
        if (role == Qt::DisplayRole) {
            return static_cast<int>(candidate.Topics);
        }
        if (role == Qt::TextAlignmentRole) {
            return int(Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    return {};
}

bool CommonWordsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != kWordColumn || role != Qt::CheckStateRole ||
        index.row() >= rowCount()) {
        return false;
    }
    candidates_[rows_[static_cast<size_t>(index.row())]].Ticked =
        value.value<Qt::CheckState>() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit TicksChanged();
    return true;
}

Qt::ItemFlags CommonWordsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kWordColumn) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

QVariant CommonWordsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section == kWordColumn ? QStringLiteral("Word") : QStringLiteral("Topics");
}

std::vector<std::string> CommonWordsModel::TickedWords() const {
    std::vector<std::string> words;
    for (std::uint32_t i : rows_) {
        if (candidates_[i].Ticked) {
            words.emplace_back(candidates_[i].Word);
        }
    }
    return words;
}

int CommonWordsModel::TickedCount() const {
    return static_cast<int>(std::count_if(
        rows_.begin(), rows_.end(), [this](std::uint32_t i) { return candidates_[i].Ticked; }));
}

TdlgCommonWords::TdlgCommonWords(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("dlgCommonWords"));
    setWindowTitle(QStringLiteral("Exclude Common Words"));
    setModal(true);

    lblShare = new QLabel(QStringLiteral("Words found in more than"), this);
    spnShare = new QSpinBox(this);
    spnShare->setRange(kLowestPercent, kHighestPercent);
    lblShareEnd = new QLabel(QStringLiteral("% of the topics"), this);
    lblShare->setBuddy(spnShare);
    auto* share = new QHBoxLayout;
    share->addWidget(lblShare);
    share->addWidget(spnShare);
    share->addWidget(lblShareEnd);
    share->addStretch(1);

    model_ = new CommonWordsModel(this);
    tblWords = new QTableView(this);
    tblWords->setModel(model_);
    tblWords->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblWords->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblWords->verticalHeader()->hide();
    // Rows of one height and columns that are not measured keep a reset over many rows cheap.
    tblWords->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblWords->verticalHeader()->setDefaultSectionSize(tblWords->fontMetrics().height() + 4);
    tblWords->horizontalHeader()->setSectionResizeMode(CommonWordsModel::kWordColumn,
                                                       QHeaderView::Stretch);
    tblWords->horizontalHeader()->setSectionResizeMode(CommonWordsModel::kTopicsColumn,
                                                       QHeaderView::Fixed);
    tblWords->horizontalHeader()->setSortIndicator(CommonWordsModel::kTopicsColumn,
                                                   Qt::DescendingOrder);
    tblWords->setSortingEnabled(true);
    lblSummary = new QLabel(this);

    lblList = new QLabel(QStringLiteral("Move to:"), this);
    cboList = new QComboBox(this);
    cboList->setMinimumContentsLength(16);
    lblList->setBuddy(cboList);
    btnMove = new QPushButton(QStringLiteral("Move"), this);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnMove->setDefault(true);
    btnCancel->setAutoDefault(false);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblList);
    bottom->addWidget(cboList, 1);
    bottom->addWidget(btnMove);
    bottom->addWidget(btnCancel);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(share);
    outer->addWidget(tblWords, 1);
    outer->addWidget(lblSummary);
    outer->addLayout(bottom);
    resize(FittedSize(QSize(420, 480), *this));

    const std::pair<QObject*, const char*> names[] = {
        {lblShare, "lblShare"}, {spnShare, "spnShare"},     {lblShareEnd, "lblShareEnd"},
        {tblWords, "tblWords"}, {lblSummary, "lblSummary"}, {lblList, "lblList"},
        {cboList, "cboList"},   {btnMove, "btnMove"},       {btnCancel, "btnCancel"},
    };
    for (const auto& [object, name] : names) {
        object->setObjectName(QLatin1String(name));
    }

    int percent = kDefaultPercent;
    try {
        CConfig config(DataFolder(), Mesg());
        percent = config.ReadInteger(kCfgCommonPercent, kDefaultPercent);
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    spnShare->setValue(std::clamp(percent, kLowestPercent, kHighestPercent));

    // Each digit typed shows its share at once: a new share costs a search and a reset.
    connect(spnShare, &QSpinBox::valueChanged, this, &TdlgCommonWords::spnShareChange);
    connect(model_, &CommonWordsModel::TicksChanged, this, &TdlgCommonWords::UpdateSummary);
    connect(btnMove, &QPushButton::clicked, this, &TdlgCommonWords::btnMoveClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TdlgCommonWords::Prepare(const std::vector<std::string_view>& viewWords,
                              const TWordList& wordList, size_t topics,
                              const WordCollator& collator,
                              const std::vector<std::pair<QString, std::string>>& lists,
                              MoveWords move) {
    cboList->clear();
    for (const auto& [caption, path] : lists) {
        cboList->addItem(caption, Bytes(path));
    }
    move_ = std::move(move);
    model_->Prepare(viewWords, wordList, topics, collator);
    spnShareChange();
}

std::string TdlgCommonWords::ListPath() const {
    return FromBytes(cboList->currentData().toByteArray());
}

void TdlgCommonWords::spnShareChange() {
    model_->SetPercent(spnShare->value());
}

void TdlgCommonWords::UpdateSummary() {
    const int ticked = model_->TickedCount();
    auto grouped = [](size_t n) { return QString::fromStdString(GroupDigits(std::to_string(n))); };
    lblSummary->setText(QStringLiteral("%1 of %2 words ticked; the project has %3 topics")
                            .arg(grouped(static_cast<size_t>(ticked)),
                                 grouped(static_cast<size_t>(model_->rowCount())),
                                 grouped(model_->TopicTotal())));
    btnMove->setEnabled(ticked > 0 && cboList->count() > 0);
}

void TdlgCommonWords::btnMoveClick() {
    const std::vector<std::string> words = model_->TickedWords();
    if (words.empty() || !move_) {
        return;
    }
    if (move_(words, ListPath())) {
        accept();
    }
}

void TdlgCommonWords::done(int result) {
    try {
        CConfig config(DataFolder(), Mesg());
        config.WriteInteger(kCfgCommonPercent, spnShare->value());
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    QDialog::done(result);
}

}  // namespace tarnwick
