// The main window's commands: the parse and build runs, moving words into exclude lists, the
// other windows (editor, export, alias/map, about, help) and the word view's columns.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTreeView>
#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "app/program_folders.h"
#include "pipeline/exclude_list.h"
#include "pipeline/parse_run.h"
#include "pipeline/topic_counts.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "platform/process.h"
#include "support/ansi_case.h"
#include "support/code_page.h"
#include "support/message.h"
#include "ui/dialog_about.h"
#include "ui/dialog_alias_map.h"
#include "ui/dialog_build_index.h"
#include "ui/dialog_common_words.h"
#include "ui/dialog_compile.h"
#include "ui/dialog_export.h"
#include "ui/dialog_parse.h"
#include "ui/dialog_word_topics.h"
#include "ui/form_exclude_file.h"
#include "ui/help.h"
#include "ui/main_window.h"
#include "ui/message_text.h"
#include "ui/qt_text.h"
#include "ui/word_details_model.h"
#include "ui/word_view_model.h"

namespace tarnwick {

namespace {

constexpr int kHelpContextMain = 7;

}  // namespace

void TfrmMain::RunModal(TRunDialog& dialog) {
    activeRun_ = &dialog;
    const auto noRun = qScopeGuard([this]() { activeRun_ = nullptr; });
    dialog.exec();
}

void TfrmMain::CloseIfAsked() {
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        close();
    }
}

void TfrmMain::actParseExecute() {
    if (!(session_.Options & (kParseBody | kParseTitle | kParseDescription | kParseKeywords))) {
        Mesg().Show("No parsing option is checked.", kMbInformation);
        return;
    }
    ShowOpenProject();
    if (!FileExists(session_.ProjectFile())) {
        return;
    }
    indexModel_->Clear();
    UpdateWordCount();

    std::string secondaryPath;
    const std::string secondary = SecondaryListName();
    if (!secondary.empty() && !ExcludeListFolder().empty()) {
        secondaryPath = ExcludeListFolder() + secondary;
    }
    const TdlgParse_InitData input = session_.ParseInput(DefaultExcludeListPath(), secondaryPath);
    {
        TdlgParse dialog(this);
        dialog.Prepare(input, indexModel_);
        if (testHooks_.ParseDialog) {
            testHooks_.ParseDialog(dialog);
        }
        RunModal(dialog);
    }
    UpdateWordCount();
    UpdateBuildIndexButton();
    CloseIfAsked();
}

void TfrmMain::OnBuildIndex() {
    RunBuild(sender());
}

void TfrmMain::OnBuildMap() {
    RunBuild(sender());
}

void TfrmMain::RunBuild(QObject* source) {
    ShowOpenProject();
    const bool hasWords = indexModel_->rowCount() > 0;
    const bool buildIndex =
        hasWords && (source == btnBuildIndex || source == mnuBuildAll || source == mnuBuildIndex);
    const bool buildMap = session_.MapMode != MapMode::None &&
                          (source == btnBuildMap || source == mnuBuildAll || source == mnuBuildMap);
    const TdlgBuildNdx_InitData input = session_.BuildInput(buildIndex, buildMap);
    {
        TdlgBuildNdx dialog(this);
        dialog.Prepare(input, ProjectCodePage());
        if (testHooks_.BuildDialog) {
            testHooks_.BuildDialog(dialog);
        }
        RunModal(dialog);
    }
    btnBuildIndex->setEnabled(false);
    CloseIfAsked();
}

void TfrmMain::mnuBuildClick() {
    const bool hasWords = indexModel_->rowCount() > 0;
    const bool map = session_.MapMode != MapMode::None;
    mnuBuildAll->setEnabled(hasWords && map);
    mnuBuildIndex->setEnabled(hasWords);
    mnuBuildMap->setEnabled(map);
    mnuCompile->setEnabled(session_.Project().ProjectRead);
}

void TfrmMain::mnuCompileClick() {
    ShowOpenProject();
    if (!session_.Project().ProjectRead) {
        return;
    }
    TCompileInput input;
    input.ProjectFile = session_.ProjectFile();
    if (FindProgram(input.Compiler).empty()) {
        Mesg().Show(kNoCompilerMessage, kMbError);
        return;
    }
    {
        TdlgCompile dialog(this);
        dialog.Prepare(input, ProjectCodePage());
        if (testHooks_.CompileDialog) {
            testHooks_.CompileDialog(dialog);
        }
        RunModal(dialog);
    }
    CloseIfAsked();
}

void TfrmMain::pumIndexPopup() {
    const bool selected = ActiveWordView()->selectionModel()->hasSelection();
    const int current = CurrentWordRow();
    pumShowTopics->setEnabled(current >= 0 && indexModel_->Entry(current));
    actDefaultExclude->setEnabled(selected);
    const std::string name = SecondaryListName();
    const bool userList = selected && !name.empty() && FileExists(ExcludeListFolder() + name);
    actUserExclude->setEnabled(userList);
    if (userList) {
        actUserExclude->setText(QStringLiteral("Move To Exclude List: ") +
                                PathToQt(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
}

void TfrmMain::actDefaultExcludeExecute() {
    MoveSelectedWords(ExcludeListFolder() + std::string(DefaultExcludeListName));
}

void TfrmMain::actUserExcludeExecute() {
    const std::string name = SecondaryListName();
    if (!name.empty()) {
        MoveSelectedWords(ExcludeListFolder() + name);
    }
}

void TfrmMain::MoveSelectedWords(const std::string& listPath) {
    std::vector<int> rows = SelectedWordRows();
    MoveRows(std::move(rows), listPath);
}

bool TfrmMain::MoveWords(const std::vector<std::string>& words, const std::string& listPath) {
    const std::unordered_set<std::string_view> moving(words.begin(), words.end());
    std::vector<int> rows;
    for (int row = 0; row < indexModel_->rowCount(); ++row) {
        if (moving.contains(indexModel_->Word(row))) {
            rows.push_back(row);
        }
    }
    return MoveRows(std::move(rows), listPath);
}

bool TfrmMain::MoveRows(std::vector<int> rows, const std::string& listPath) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    try {
        // The list's words are compared as the project's are, so that a word it holds in other
        // letter case stays one word; they are lowered in the project's code page.
        const WordCollator& collator = ProjectCollator();
        TExcludeList list(listPath, collator);
        for (int row : rows) {
            list.AddWord(LowerCase(indexModel_->Word(row), collator.CodePage()));
        }
        list.Save(testHooks_.ListFileSystem ? *testHooks_.ListFileSystem : TFileSystem::Default());
    } catch (const std::exception& e) {
        // The words leave the view only once they are safely in the list's file.
        ShowError(e);
        return false;
    }
    lbxIndex->selectionModel()->clearSelection();
    lvwIndex->selectionModel()->clearSelection();
    indexModel_->RemoveRows(rows);
    UpdateWordCount();
    UpdateBuildIndexButton();
    return true;
}

void TfrmMain::mnuCommonWordsClick() {
    if (indexModel_->rowCount() == 0) {
        Mesg().Show("There are no parsed words: parse the project first.", kMbInformation);
        return;
    }
    ShowOpenProject();
    // The lists the popup's Move To offers: the default one and those of the secondary choice.
    const std::string folder = ExcludeListFolder();
    std::vector<std::pair<QString, std::string>> lists;
    lists.emplace_back(QStringLiteral("Default Exclude List"),
                       folder + std::string(DefaultExcludeListName));
    for (int i = 0; i < cboExcludeList->count(); ++i) {
        const std::string name = FromBytes(cboExcludeList->itemData(i).toByteArray());
        if (!name.empty()) {
            lists.emplace_back(PathToQt(name), folder + name);
        }
    }
    std::vector<std::string_view> words;
    words.reserve(static_cast<size_t>(indexModel_->rowCount()));
    for (int row = 0; row < indexModel_->rowCount(); ++row) {
        words.emplace_back(indexModel_->Word(row));
    }
    try {
        TdlgCommonWords dialog(this);
        dialog.Prepare(words, session_.WordList, PageTopicCount(session_.Project().Files),
                       ProjectCollator(), lists,
                       [this](const std::vector<std::string>& moving, const std::string& path) {
                           return MoveWords(moving, path);
                       });
        if (testHooks_.CommonWordsDialog) {
            testHooks_.CommonWordsDialog(dialog);
        }
        dialog.exec();
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

void TfrmMain::actEditExcludeFileExecute() {
    const std::string noted = SecondaryListName();
    try {
        TfrmEdit editor(this, ProjectCollator());
        editor.exec();
    } catch (const std::exception& e) {
        ShowError(e);
    }
    // The editor may have created or deleted lists; the choice keeps its name while it exists.
    FillExcludeListCombo();
    cboExcludeList->setCurrentIndex(-1);
    SelectExcludeList(noted);
}

void TfrmMain::mnuExportClick() {
    // A failure is shown and the program goes on; nothing the export does can harm the project.
    try {
        ShowOpenProject();
        TdlgExport dialog(this);
        dialog.Prepare(&indexModel_->Words(), session_.ProjectFile());
        dialog.exec();
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

void TfrmMain::mnuAliasMapClick() {
    try {
        TdlgAliasMap dialog(session_, this);
        if (dialog.exec() == QDialog::Accepted) {
            UpdateMapControls();
        }
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

void TfrmMain::mnuAboutClick() {
    try {
        TdlgAbout dialog(this);
        dialog.exec();
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

void TfrmMain::pumRefreshListClick() {
    ShowOpenProject();
    Scan();
}

void TfrmMain::spnColumnsClick() {
    ApplyColumns(spnColumns->value());
}

void TfrmMain::ApplyColumns(int columns) {
    columns_ = std::clamp(columns, 1, kMaxColumns);
    lbxIndex->setFlow(QListView::TopToBottom);
    if (columns_ == 1) {
        lbxIndex->setWrapping(false);
        lbxIndex->setGridSize(QSize());
        lbxIndex->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        return;
    }
    lbxIndex->setWrapping(true);
    lbxIndex->setResizeMode(QListView::Adjust);
    lbxIndex->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const int width = std::max(1, lbxIndex->viewport()->width() / columns_);
    lbxIndex->setGridSize(QSize(width, lbxIndex->fontMetrics().height() + 2));
}

QAbstractItemView* TfrmMain::ActiveWordView() const {
    return cboIndexView->currentIndex() == 1 ? static_cast<QAbstractItemView*>(lvwIndex)
                                             : static_cast<QAbstractItemView*>(lbxIndex);
}

std::vector<int> TfrmMain::SelectedWordRows(const QAbstractItemView* of) const {
    const QAbstractItemView* view = of ? of : ActiveWordView();
    const bool details = view == lvwIndex;
    std::vector<int> rows;
    for (const QItemSelectionRange& range : view->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(details ? detailsModel_->SourceRow(row) : row);
        }
    }
    // A row selected in more than one column range counts once.
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int TfrmMain::CurrentWordRow(const QAbstractItemView* of) const {
    const QAbstractItemView* view = of ? of : ActiveWordView();
    int row = view->currentIndex().isValid() ? view->currentIndex().row() : -1;
    if (row < 0 && view->selectionModel()->hasSelection()) {
        row = view->selectionModel()->selection().first().top();
    }
    if (row < 0 || row >= indexModel_->rowCount()) {
        return -1;
    }
    return view == lvwIndex ? detailsModel_->SourceRow(row) : row;
}

void TfrmMain::UpdateWordTopics() {
    lblWordTopics->setText(indexModel_->TopicSummary(CurrentWordRow()));
}

void TfrmMain::cboIndexViewChange() {
    const bool details = cboIndexView->currentIndex() == 1;
    QAbstractItemView* from = details ? static_cast<QAbstractItemView*>(lbxIndex)
                                      : static_cast<QAbstractItemView*>(lvwIndex);
    QAbstractItemView* to = details ? static_cast<QAbstractItemView*>(lvwIndex)
                                    : static_cast<QAbstractItemView*>(lbxIndex);
    // The words selected and the current word stay so in the other mode. The selection goes
    // over as runs of neighbouring rows, so that even every word selected is a quick change.
    auto shown = [this, details](int sourceRow) {
        return details ? detailsModel_->mapFromSource(indexModel_->index(sourceRow)).row()
                       : sourceRow;
    };
    const int current = from->currentIndex().isValid() ? CurrentWordRow(from) : -1;
    std::vector<int> selected;
    for (int row : SelectedWordRows(from)) {
        selected.push_back(shown(row));
    }
    lbxIndex->setVisible(!details);
    lvwIndex->setVisible(details);
    lblColumns->setEnabled(!details);
    spnColumns->setEnabled(!details);
    std::sort(selected.begin(), selected.end());
    QItemSelection selection;
    QAbstractItemModel* model = to->model();
    const int lastColumn = model->columnCount() - 1;
    for (size_t i = 0; i < selected.size();) {
        size_t j = i;
        while (j + 1 < selected.size() && selected[j + 1] == selected[j] + 1) {
            ++j;
        }
        selection.select(model->index(selected[i], 0), model->index(selected[j], lastColumn));
        i = j + 1;
    }
    to->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (current >= 0) {
        const QModelIndex index = model->index(shown(current), 0);
        to->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        to->scrollTo(index);
    }
    UpdateWordTopics();
}

void TfrmMain::pumShowTopicsClick() {
    const int row = CurrentWordRow();
    const TIndexEntry* entry = row >= 0 ? indexModel_->Entry(row) : nullptr;
    if (!entry) {
        return;
    }
    const std::vector<std::string>& files = session_.Project().Files;
    std::vector<std::string> topics;
    topics.reserve(entry->Files.size());
    for (TopicIndex file : entry->Files) {
        if (file < files.size()) {
            topics.push_back(files[file]);
        }
    }
    try {
        TdlgWordTopics dialog(this);
        dialog.UrlOpener = testHooks_.UrlOpener;
        dialog.Prepare(ToQt(indexModel_->Word(row), ProjectCodePage()), topics, ProjectCodePage(),
                       ProjectFolderOf(session_.ProjectFile()));
        if (testHooks_.TopicsDialog) {
            testHooks_.TopicsDialog(dialog);
        }
        dialog.exec();
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

void TfrmMain::actHelpExecute() {
    ShowHelpContext(this, kHelpContextMain);
}

void TfrmMain::mnuViewHelpClick() {
    if (!session_.ProjectFile().empty()) {
        ViewProjectHelp(PathToQt(session_.ProjectFile()));
    }
}

void TfrmMain::ViewProjectHelp(const QString& path) {
    const std::string file = PathFromQt(path);
    // The compiled file's text is in the project's code page.
    const int codePage = file == session_.ProjectFile() ? ProjectCodePage().Number()
                                                        : THhpScanner().Scan(file).CodePage;
    tarnwick::ViewProjectHelp(this, file, TCodePage::For(codePage));
}

// File errors carry paths in the file system's encoding; the box shows its code page.
void TfrmMain::ShowError(const std::exception& error) {
    Mesg().Show(MessageName(error.what()), kMbError);
}

}  // namespace tarnwick
