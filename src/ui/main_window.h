// TfrmMain: the program's main window. It shows the project session - the open project, its
// options and map choice, the words of the last parse - keeps the recently used projects, and
// drives everything the user does: open a project, parse it, prune words into exclude lists,
// build, and open the other windows. Handlers carry the names the rest of the program and its
// help refer to.
//
// The window's parts live in three files: main_window_controls.cpp builds the controls, menus
// and hints; main_window.cpp opens, shows, remembers and closes projects; main_window_commands.cpp
// holds the handlers of the runs, the word pruning and the other windows.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/project_session.h"

class QAbstractItemView;
class QAction;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QPushButton;
class QSpinBox;
class QSplitter;
class QToolButton;
class QTreeView;
class QUrl;
class QWidget;

namespace tarnwick {

class TdlgBuildNdx;
class TdlgCommonWords;
class TdlgCompile;
class TdlgParse;
class TdlgWordTopics;
class TFileSystem;
class TMru;
class TCodePage;
class TMruMenuItems;
class TRunDialog;
class WordCollator;
class WordDetailsModel;
class WordViewModel;

// What tests put in the user's place: a replacement for the open-file dialog, a look at each
// run's dialog and the topics dialog before it is shown modally, and a replacement for the
// desktop's browser. Unset, the window asks the user.
struct TMainWindowTestHooks {
    std::function<QString(const QString& initial)> OpenFileChooser;
    std::function<void(TdlgParse&)> ParseDialog;
    std::function<void(TdlgBuildNdx&)> BuildDialog;
    std::function<void(TdlgCompile&)> CompileDialog;
    std::function<void(TdlgWordTopics&)> TopicsDialog;
    std::function<bool(const QUrl&)> UrlOpener;
    // The Exclude Common Words dialog before it is shown modally.
    std::function<void(TdlgCommonWords&)> CommonWordsDialog;
    // Where moved words are saved into their list; unset, the real file system.
    TFileSystem* ListFileSystem = nullptr;
};

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The most recent project, placement and columns: run once, before the window is shown.
    // Restores the window and opens the last project, or `project` (a path from the command line)
    // instead: the last project then stays on the recently used list, unopened.
    void FormCreate(const QString& project = QString());

    // The open project and the choices made for it. Its parse options follow the check boxes;
    // after a change of the map choice from outside, UpdateMapControls shows it.
    TProjectSession& Session() { return session_; }
    const TProjectSession& Session() const { return session_; }
    void UpdateMapControls();
    // Reads the project named in ebxSource and shows what it names.
    void Scan();
    // Offers the exclude-list folder's lists, the default one aside, under the secondary choice.
    void FillExcludeListCombo();
    // The secondary exclude list's file name as chosen (a file name's bytes; empty for none).
    std::string SecondaryListName() const;
    // The words the word view shows, in its order.
    WordViewModel* IndexModel() const { return indexModel_; }
    // The same words in the details mode's table, in its order.
    WordDetailsModel* DetailsModel() const { return detailsModel_; }
    // Moves the view's words among `words` into the exclude list at `listPath` as the popup's
    // Move To does; false, the failure shown and the view and the list as they were, when the
    // list could not be read or saved.
    bool MoveWords(const std::vector<std::string>& words, const std::string& listPath);

    TMainWindowTestHooks& TestHooks() { return testHooks_; }

public slots:
    void actOpenExecute();
    void OnMRU();
    void mnuCloseClick();
    void actExitExecute();
    void actParseExecute();
    void OnBuildIndex();
    void OnBuildMap();
    void mnuBuildClick();
    // Compiles the open project's help with chmcmd in the compile dialog.
    void mnuCompileClick();
    void mnuExportClick();
    void mnuAliasMapClick();
    void actEditExcludeFileExecute();
    void actDefaultExcludeExecute();
    void actUserExcludeExecute();
    void mnuCommonWordsClick();
    void pumIndexPopup();
    void pumRefreshListClick();
    void spnColumnsClick();
    // Shows the word view as the list of columns or as the details table, as cboIndexView says.
    void cboIndexViewChange();
    // Lists the current word's topics, each of which opens in the browser.
    void pumShowTopicsClick();
    void actHelpExecute();
    // Shows the open project's compiled help file in a help window of its own.
    void mnuViewHelpClick();
    // The same for the project file at `path`, open or not (the command line's --view).
    void ViewProjectHelp(const QString& path);
    void mnuAboutClick();
    // Opens the project typed in ebxSource, as Enter in it does.
    void ebxSourceKeyPress();
    // Opens the project at `path` as if typed into ebxSource and entered: the project being left
    // goes onto the recently used list. A path that is not a project (.hhp) is refused with a
    // message. While a parse or build runs or a dialog is open, the latest such path waits and
    // opens once the window is free again.
    void OpenProject(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A project file (.hhp) dropped on the window opens as through OpenProject.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The word view shows one to this many columns.
    static constexpr int kMaxColumns = 10;
    // How often a waiting project checks whether the window is free again.
    static constexpr int kPendingProjectRetryMs = 200;

    // Building the window (main_window_controls.cpp), top to bottom.
    void CreateControls();
    QHBoxLayout* CreateOptionsRow(QWidget* central);
    QHBoxLayout* CreateSourceRow(QWidget* central);
    QHBoxLayout* CreateNamesRow(QWidget* central);
    QSplitter* CreateFileAndWordPanes(QWidget* central);
    QWidget* CreateFilePane(QWidget* parent);
    QWidget* CreateWordPane(QWidget* parent);
    void NameControls();
    void ConnectControls();
    void CreateActions();
    void CreateMenus();
    void CreatePopupMenus();
    void SetHints();

    // The option check boxes, each with the option bit it stands for; the check boxes' options
    // into the session, and the session's into the check boxes.
    std::array<std::pair<QCheckBox*, ParseOptions>, 6> OptionBoxes() const;
    void ckbOptionClick();
    void ShowOptions();
    void UpdateFileCount();
    void UpdateWordCount();
    void UpdateBuildIndexButton();
    // The code page of the open project's words (Windows-1252 when none is open) and their
    // comparison: everything that shows or compares them uses these.
    const WordCollator& ProjectCollator() const;
    const TCodePage& ProjectCodePage() const;
    // Makes the word view and message boxes follow the session's project; run whenever it opens
    // or closes one.
    void UseProjectCodePage();
    // Puts the open project on the recently used list with the window's settings; false when its
    // file no longer exists.
    bool RememberProject();
    bool RememberProjectAt(const std::string& path);
    void CloseProject();
    void FormClose();
    // The project path as typed (a Linux path). Until Enter opens it, it is not the open project.
    std::string TypedProjectFile() const;
    // Drops a path typed but not entered: the source box names the open project again.
    void ShowOpenProject();
    // True, after saying so, when `path` is an existing file that is not a project (.hhp).
    bool RefuseNonProject(const QString& path);
    void OpenPendingProject();
    void SelectExcludeList(const std::string& name);
    void MoveSelectedWords(const std::string& listPath);
    bool MoveRows(std::vector<int> rows, const std::string& listPath);
    void RunBuild(QObject* source);
    // Shows a run's dialog modally; a close request meanwhile stops the run and is noted.
    void RunModal(TRunDialog& dialog);
    // Carries out a close request that came during a run, once its dialog is gone.
    void CloseIfAsked();
    void ApplyColumns(int columns);
    // The word view of the mode shown; the selected rows and the current row (-1: none) of that
    // view or of `of`, as rows of indexModel_.
    QAbstractItemView* ActiveWordView() const;
    std::vector<int> SelectedWordRows(const QAbstractItemView* of = nullptr) const;
    int CurrentWordRow(const QAbstractItemView* of = nullptr) const;
    // The status bar's "word: n of m topics" for the current word.
    void UpdateWordTopics();
    void ShowError(const std::exception& error);

    TProjectSession session_;
    std::unique_ptr<TMru> mru_;
    std::unique_ptr<TMruMenuItems> mruMenu_;
    WordViewModel* indexModel_ = nullptr;
    WordDetailsModel* detailsModel_ = nullptr;
    TMainWindowTestHooks testHooks_;
    int columns_ = 1;
    bool closed_ = false;
    // The run whose dialog is up, and whether the window was asked to close meanwhile.
    TRunDialog* activeRun_ = nullptr;
    bool closeAfterRun_ = false;
    // A project handed over or dropped while the window was busy; empty when none waits.
    QString pendingProject_;

    // Controls, under the names the handlers use; each carries its name as its object name.
    QGroupBox* gbxInclude = nullptr;
    QCheckBox* ckbBody = nullptr;
    QCheckBox* ckbTitle = nullptr;
    QCheckBox* ckbDescription = nullptr;
    QCheckBox* ckbKeyWords = nullptr;
    QGroupBox* gbxExclude = nullptr;
    QCheckBox* ckbExcludeNumbers = nullptr;
    QCheckBox* ckbDefaultExclude = nullptr;
    QLabel* lblSecondaryExclude = nullptr;
    QComboBox* cboExcludeList = nullptr;
    QPushButton* btnParse = nullptr;
    QPushButton* btnBuildIndex = nullptr;
    QPushButton* btnBuildMap = nullptr;
    QLabel* lblSource = nullptr;
    QLineEdit* ebxSource = nullptr;
    QToolButton* btnSource = nullptr;
    QLabel* lblHhkFile = nullptr;
    QLabel* lblHhkValue = nullptr;
    QLabel* lblAliasFile = nullptr;
    QLabel* lblAliasValue = nullptr;
    QLabel* lblMapFile = nullptr;
    QLabel* lblMapValue = nullptr;
    QLabel* lblCodePage = nullptr;
    QLabel* lblCodePageValue = nullptr;
    QLabel* lblFileCount = nullptr;
    QListWidget* lbxFiles = nullptr;
    QSplitter* Splitter1 = nullptr;
    QLabel* lblCountValue = nullptr;
    QLabel* lblColumns = nullptr;
    QSpinBox* spnColumns = nullptr;
    QListView* lbxIndex = nullptr;
    QLabel* lblIndexView = nullptr;
    QComboBox* cboIndexView = nullptr;  // "List" (lbxIndex) or "Details" (lvwIndex)
    QTreeView* lvwIndex = nullptr;
    QLabel* lblWordTopics = nullptr;  // on the status bar's right

    QMenu* mnuFile = nullptr;
    QMenu* mnuReOpen = nullptr;
    QMenu* mnuBuild = nullptr;
    QMenu* mnuTools = nullptr;
    QMenu* mnuHelp = nullptr;
    QMenu* pumIndex = nullptr;
    QMenu* pumFiles = nullptr;
    QAction* mnuClose = nullptr;
    QAction* mnuBuildAll = nullptr;
    QAction* mnuBuildIndex = nullptr;
    QAction* mnuBuildMap = nullptr;
    QAction* mnuCompile = nullptr;
    QAction* mnuExport = nullptr;
    QAction* mnuCommonWords = nullptr;
    QAction* mnuAliasMap = nullptr;
    QAction* mnuViewHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* pumRefreshList = nullptr;
    QAction* pumShowTopics = nullptr;
    std::vector<QAction*> mruItems;  // mru10 ... mru19

    QAction* actOpen = nullptr;
    QAction* actParse = nullptr;
    QAction* actDefaultExclude = nullptr;
    QAction* actUserExclude = nullptr;
    QAction* actEditExcludeFile = nullptr;
    QAction* actHelp = nullptr;
    QAction* actExit = nullptr;
};

}  // namespace tarnwick
