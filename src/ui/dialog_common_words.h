// TdlgCommonWords: moves the words found in more than a share of the project's topics into an
// exclude list in one step. A word found in most topics tells a reader nothing about where to
// look, yet pruning such words one at a time means finding them among thousands. The dialog lists
// the words of the main window's word view that are found in more than the chosen share of the
// page topics, with their counts and a tick each, and hands the ticked ones to the main window's
// move, which treats them exactly as a move through the word view's popup.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace tarnwick {

class TCodePage;
class TWordList;
class WordCollator;

// The words that go at the chosen share: word | topics, each with a tick. The words that could
// go at any share are gathered once, in count order, so that a new share is a search for where
// the qualifying words end and a reset over those rows only.
class CommonWordsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kWordColumn = 0, kTopicsColumn = 1 };

    // A word of the view that may go, and how many topics it is found in. `Word` is a view of
    // the word list's own entry, which outlives the dialog.
    struct Candidate {
        std::string_view Word;
        std::uint32_t Topics = 0;
        std::uint32_t WordRank = 0;  // its place in the word order among the candidates
        bool Ticked = true;
    };

    explicit CommonWordsModel(QObject* parent = nullptr);

    // The view's words (in any order) looked up by their exact bytes in `wordList`, whose
    // entries' topic counts are shares of `topics` page topics; `collator` orders and shows them.
    void Prepare(const std::vector<std::string_view>& viewWords, const TWordList& wordList,
                 size_t topics, const WordCollator& collator);
    // Lists the words found in more than `percent` % of the topics. A word unticked while shown
    // stays unticked when it drops out and comes back.
    void SetPercent(int percent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The shown row's word (the word list's bytes) and topic count.
    std::string_view Word(int row) const { return At(row).Word; }
    std::uint32_t Topics(int row) const { return At(row).Topics; }
    // The words of the ticked rows, in row order.
    std::vector<std::string> TickedWords() const;
    int TickedCount() const;
    // The page topics the shares are taken of.
    size_t TopicTotal() const { return topics_; }

signals:
    void TicksChanged();

private:
    const Candidate& At(int row) const { return candidates_[rows_[static_cast<size_t>(row)]]; }
    // Puts rows_ in the chosen order (emits nothing).
    void OrderRows();

    // Every word that can go at some share, most topics first (ties in word order).
    std::vector<Candidate> candidates_;
    // The shown rows: indices into candidates_, in the chosen order.
    std::vector<std::uint32_t> rows_;
    size_t topics_ = 0;
    int sortColumn_ = kTopicsColumn;
    Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
    const TCodePage* codePage_ = nullptr;
};

class TdlgCommonWords : public QDialog {
    Q_OBJECT
public:
    // Moves the words into the list at the path; false (the failure shown) when they stayed.
    using MoveWords =
        std::function<bool(const std::vector<std::string>& words, const std::string& listPath)>;

    // Starts at the share last used (configuration), 50 % at first.
    explicit TdlgCommonWords(QWidget* owner = nullptr);

    // The view's words, the word list, the number of page topics, the project's collator, the
    // lists offered (caption and path; the first is chosen) and the move that Move runs.
    void Prepare(const std::vector<std::string_view>& viewWords, const TWordList& wordList,
                 size_t topics, const WordCollator& collator,
                 const std::vector<std::pair<QString, std::string>>& lists, MoveWords move);

    CommonWordsModel* Model() const { return model_; }
    // The path of the chosen list.
    std::string ListPath() const;

    QLabel* lblShare = nullptr;
    QSpinBox* spnShare = nullptr;
    QLabel* lblShareEnd = nullptr;
    QTableView* tblWords = nullptr;
    QLabel* lblSummary = nullptr;
    QLabel* lblList = nullptr;
    QComboBox* cboList = nullptr;
    QPushButton* btnMove = nullptr;
    QPushButton* btnCancel = nullptr;

    // Every way of closing remembers the share.
    void done(int result) override;

public slots:
    void spnShareChange();
    // Moves the ticked words; the dialog closes once they are in the list and stays when the
    // move failed, nothing lost.
    void btnMoveClick();

private:
    void UpdateSummary();

    CommonWordsModel* model_ = nullptr;
    MoveWords move_;
};

}  // namespace tarnwick
