// TfrmMain: the program's main window. It owns the open project's state - the scanner's result,
// the word list, the recently used projects and the map settings - and drives everything the
// user does: open a project, parse it, prune words into exclude lists, build, and open the other
// windows. Handlers carry the names the rest of the program and its help refer to.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/hhp_scanner.h"
#include "pipeline/parse_options.h"
#include "pipeline/word_list.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QPushButton;
class QSpinBox;
class QSplitter;
class QToolButton;

namespace tarnwick {

class TdlgBuildNdx;
class TdlgParse;
class TMru;
class TMruMenuItems;
class TRunDialog;
class WordViewModel;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The most recent project, placement and columns: run once, before the window is shown.
    void FormCreate();

    ParseOptions GetOptions() const;
    void SetOptions(ParseOptions options);
    void UpdateFileCount();
    void UpdateWordCount();
    void UpdateMapControls();
    // Puts the open project on the recently used list with the window's settings; false when its
    // file no longer exists.
    bool RememberProject();
    void CloseProject();
    void FillExcludeListCombo();
    void MoveSelectedWords(const std::string& listPath);
    void RunBuild(QObject* sender);
    void ApplyColumns(int columns);
    // Reads the project named in ebxSource and shows what it names.
    void Scan();

    // Project state.
    THhpScanResult Project;
    TWordList WordList;
    std::unique_ptr<TMru> Mru;
    std::string WindowName;
    tarnwick::MapMode MapMode = MapMode::None;
    std::int32_t InitialId = 0;

    // The project path as typed (a Linux path). Until Enter opens it, it is not the open project:
    // everything that acts on the project (parse, builds, export, the recently used list) takes
    // OpenProject().
    std::string ProjectFile() const;
    // The project the window shows: the path the last scan read.
    const std::string& OpenProject() const { return openProject_; }
    // The secondary exclude list's file name as chosen (Windows-1252 bytes; empty for none).
    std::string SecondaryListName() const;
    WordViewModel* IndexModel() const { return indexModel_; }

    // Controls, under the names the handlers use.
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
    QLabel* lblFileCount = nullptr;
    QListWidget* lbxFiles = nullptr;
    QSplitter* Splitter1 = nullptr;
    QLabel* lblCountValue = nullptr;
    QLabel* lblColumns = nullptr;
    QSpinBox* spnColumns = nullptr;
    QListView* lbxIndex = nullptr;

    QMenu* mnuFile = nullptr;
    QMenu* mnuReOpen = nullptr;
    QMenu* mnuBuild = nullptr;
    QMenu* mnuTools = nullptr;
    QMenu* mnuHelp = nullptr;
    QMenu* pumIndex = nullptr;
    QMenu* pumFiles = nullptr;
    QAction* mnuClose = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuBuildAll = nullptr;
    QAction* mnuBuildIndex = nullptr;
    QAction* mnuBuildMap = nullptr;
    QAction* mnuExport = nullptr;
    QAction* mnuAliasMap = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* pumRefreshList = nullptr;
    std::vector<QAction*> mruItems;  // mru10 ... mru19

    QAction* actOpen = nullptr;
    QAction* actParse = nullptr;
    QAction* actDefaultExclude = nullptr;
    QAction* actUserExclude = nullptr;
    QAction* actEditExcludeFile = nullptr;
    QAction* actHelp = nullptr;
    QAction* actExit = nullptr;

public slots:
    void actOpenExecute();
    void OnMRU();
    void mnuCloseClick();
    void actExitExecute();
    void actParseExecute();
    void OnBuildIndex();
    void OnBuildMap();
    void mnuBuildClick();
    void mnuExportClick();
    void mnuAliasMapClick();
    void actEditExcludeFileExecute();
    void actDefaultExcludeExecute();
    void actUserExcludeExecute();
    void pumIndexPopup();
    void pumRefreshListClick();
    void spnColumnsClick();
    void actHelpExecute();
    void mnuAboutClick();
    // Opens the project typed in ebxSource, as Enter in it does.
    void ebxSourceKeyPress();

public:
    // Test seams: a replacement for the open-file dialog, and a look at each run's dialog
    // before it is shown modally.
    std::function<QString(const QString& initial)> OpenFileChooser;
    std::function<void(TdlgParse&)> ParseDialogHook;
    std::function<void(TdlgBuildNdx&)> BuildDialogHook;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateActionsAndMenus();
    void SetHints();
    void FormClose();
    void OpenProjectPath(const std::string& path);
    bool RememberProjectAt(const std::string& path);
    // Drops a path typed but not entered: the source box names the open project again.
    void ShowOpenProject();
    // Shows a run's dialog modally; a close request meanwhile stops the run and is noted.
    void RunModal(TRunDialog& dialog);
    // Carries out a close request that came during a run, once its dialog is gone.
    void CloseIfAsked();
    void SelectExcludeList(const std::string& name);
    void ShowError(const std::exception& error);

    WordViewModel* indexModel_ = nullptr;
    std::unique_ptr<TMruMenuItems> mruMenu_;
    // The project the last scan read, to remember it when another is typed in.
    std::string openProject_;
    int columns_ = 1;
    bool closed_ = false;
    // The run whose dialog is up, and whether the window was asked to close meanwhile.
    TRunDialog* activeRun_ = nullptr;
    bool closeAfterRun_ = false;
};

// Texts of two-part hints: the part before "|" is the tool tip, the part after it the status tip.
void SetHint(QWidget* widget, const QString& hint);

}  // namespace tarnwick
