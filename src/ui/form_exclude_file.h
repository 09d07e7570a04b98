// TfrmEdit: the exclude-list editor, a modal window that shows the words of one list file of the
// exclude-list folder at a time, adds and removes words (with an undo of removals), saves the
// list, creates a new empty list or a copy under a new name, and deletes lists.
//
// Its parts: form_exclude_file_controls.cpp builds the controls and hints, form_exclude_file.cpp
// handles the list files (choosing, New, Copy, Save, Delete, closing), and
// form_exclude_file_words.cpp the words of the view.
#pragma once

#include <QDialog>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "support/word_compare.h"

class QAction;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace tarnwick {

// The editor reads and writes list files line by line through its own word view, so it keeps
// entries that differ only in letter case when a file holds them. Words are bytes in the code
// page of the open project, which its collator compares (Windows-1252 with no project open);
// list names are file names (bytes as the file system holds them). Every message goes through
// Mesg() with the editor as owner.
//
// Unsaved edits are never lost without a question: switching lists writes the shown words back
// to their own file first (only when they were changed), and while a new list or a copy is being
// named the shown list's words wait aside, so that the view is never written over a file whose
// words it no longer holds.
class TfrmEdit : public QDialog {
    Q_OBJECT
public:
    // `words` compares the words and gives the code page they are shown and typed in: the open
    // project's (WordCollator::For), or Windows-1252 when no project is open.
    explicit TfrmEdit(QWidget* owner = nullptr,
                      const WordCollator& words = WordCollator::Instance());
    ~TfrmEdit() override;

    // The list names of the exclude-list folder: every ".txt" file, the default list included,
    // sorted with the Windows-1252 word comparison (file names, whatever project is open).
    void FillListCombo();
    // The exclude-list folder followed by the file-name part of `name` with ".txt" as its
    // extension ("Terms.old" and "Terms" both give ".../Terms.txt"; "Terms.TXT" stays).
    static std::string ListPath(std::string_view name);
    // Whether `name` is the default list's file name.
    static bool IsDefaultList(std::string_view name);
    // "Count = n" with the number of words shown, grouped in threes.
    void UpdateCount();
    // 1 gives a plain single-column list; 2 to 20 give that many columns of equal width.
    void ApplyColumns(int position);

    // Where lists are saved; tests hand the editor one that fails.
    TFileSystem* FileSystem = &TFileSystem::Default();

    // The list file whose words the view was last loaded from; empty at start.
    const std::string& CurrentFile() const { return currentFile_; }
    // Every word removed with "Remove Selected" while the editor is open, in removal order.
    const std::vector<std::string>& RemovedWords() const { return removedWords_; }
    // What the name box is for while it shows; the numbers are the ones the editor always had.
    enum class Mode { Normal = 0, NamingCopy = 1, NamingNewList = 2 };
    Mode EditMode() const { return editMode_; }
    // The words shown, in the view's order.
    const std::vector<std::string>& Words() const { return words_; }
    // The chosen list's file name; empty when none is chosen.
    std::string ChosenList() const;

    // Controls, under the names the handlers use.
    QListWidget* lbxWords = nullptr;
    QGroupBox* gbxFile = nullptr;
    QComboBox* cboFiles = nullptr;
    QLineEdit* ebxNew = nullptr;
    QPushButton* btnNew = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnDeleteFile = nullptr;
    QPushButton* btnCopy = nullptr;
    QGroupBox* gbxWords = nullptr;
    QLineEdit* ebxWord = nullptr;
    QPushButton* btnAdd = nullptr;
    QLabel* lblCountValue = nullptr;
    QPushButton* btnDelWord = nullptr;
    QToolButton* btnUndo = nullptr;
    QSpinBox* spnColumns = nullptr;
    QPushButton* btnHelp = nullptr;
    QPushButton* btnClose = nullptr;

    // Window-wide actions: F1 help, Delete removes the selected words, Ctrl+Z restores one.
    QAction* actAddWord = nullptr;
    QAction* actDelWord = nullptr;
    QAction* actUnRemove = nullptr;
    QAction* actHelp = nullptr;

public slots:
    void FormActivate();
    void cboFilesChange();
    void btnNewClick();
    void btnCopyClick();
    void btnSaveClick();
    void btnDeleteFileClick();
    void actAddWordExecute();
    void actDelWordExecute();
    void actUnRemoveExecute();
    void spnColumnsClick();
    void actHelpExecute();
    void btnCloseClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Esc closes the window the same way Close does, with the question about unsaved changes.
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The columns spinner's range.
    static constexpr int kMinColumns = 1;
    static constexpr int kMaxColumns = 20;
    // The smallest window, unless a long list name needs more.
    static constexpr int kMinWidth = 353;
    static constexpr int kMinHeight = 371;

    // Building the window (form_exclude_file_controls.cpp), left to right and top to bottom.
    void CreateControls();
    QWidget* CreatePanel();
    QGroupBox* CreateListGroup(QWidget* panel);
    QGroupBox* CreateWordGroup(QWidget* panel);
    QHBoxLayout* CreateRemoveRow(QWidget* panel);
    QHBoxLayout* CreateBottomRow(QWidget* panel);
    // Widens the panel so that the list choice shows the longest list name whole, up to a limit
    // beyond which names are shortened in the middle (form_exclude_file_controls.cpp).
    void FitListChoice();
    void CreateActions();
    void NameControls();
    void ConnectControls();
    void SetHints();
    void RestoreSettings();
    void StoreSettings();
    // Finishes naming a new list or a copy, or saves the shown list. False when something could
    // not be written (already reported); nothing is lost then.
    bool SaveOrFinish();
    bool FinishNewList();
    bool FinishCopy();
    void StartNaming(Mode mode);
    // Back to normal after naming: the words of the list shown before come back when
    // `restoreView`.
    void EndNaming(bool restoreView);
    // Loads the file into the view; false (reported) when it cannot be read.
    bool LoadView(const std::string& path);
    // Writes the words to the file, one per line; false (reported) when that fails.
    bool WriteWords(const std::string& path, const std::vector<std::string>& words);
    void SetViewWords(std::vector<std::string> words);
    int InsertWord(const std::string& word);
    int FindWord(std::string_view word) const;
    void RemoveRow(int row);
    void SelectRow(int row, bool clearOthers);
    int ComboIndexOf(std::string_view fileName) const;
    void ChooseCurrentFileInCombo();

    const WordCollator& collator_;
    // The control panel on the right, as wide as its captions and the list names need.
    QWidget* panel_ = nullptr;
    std::string currentFile_;
    std::vector<std::string> removedWords_;
    Mode editMode_ = Mode::Normal;
    // The words of the view, row for row.
    std::vector<std::string> words_;
    // The view holds edits of CurrentFile that are not in the file yet.
    bool viewChanged_ = false;
    // While naming: the words of the list shown before, and whether they were changed.
    std::vector<std::string> wordsBeforeNaming_;
    bool changedBeforeNaming_ = false;
    int columns_ = 1;
    bool activated_ = false;
};

}  // namespace tarnwick
