#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "app/program_folders.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "store/config.h"
#include "store/kdf.h"
#include "store/mru_item.h"
#include "support/message.h"
#include "support/utils.h"
#include "support/word_compare.h"
#include "ui/help.h"
#include "ui/message_text.h"
#include "ui/qt_text.h"
#include "ui/run_dialog.h"
#include "ui/window_placement.h"
#include "ui/word_details_model.h"
#include "ui/word_view_model.h"

namespace tarnwick {

namespace {

// The title names the open project's file, so that windows of several projects can be told
// apart; with none open it is the program's name alone.
void ShowProjectInTitle(QWidget& window, const std::string& projectFile) {
    const QString program = QStringLiteral("Tarnwick");
    if (projectFile.empty()) {
        window.setWindowTitle(program);
        return;
    }
    const std::string name = std::filesystem::path(projectFile).filename().string();
    window.setWindowTitle(PathToQt(name) + QStringLiteral(" \u2014 ") + program);
}

}  // namespace

// The ten "ReOpen" items as the recently used list sees them.
class TMruMenuItems : public TMruMenu {
public:
    explicit TMruMenuItems(std::vector<QAction*>& items) : items_(items) {}
    void SetItem(int index, const std::string& caption, const TMruItem* tag,
                 bool visible) override {
        QAction* item = items_.at(static_cast<size_t>(index));
        // Paths are file names, shown as the file system spells them; "&" is no mnemonic here.
        item->setText(PathToQt(caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
        // Keyed by the project's path: the entry itself moves whenever the list changes.
        item->setData(tag ? Bytes(tag->ProjectFile) : QByteArray());
        item->setVisible(visible);
    }

private:
    std::vector<QAction*>& items_;
};

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setMinimumSize(485, 353);
    setAcceptDrops(true);

    CreateControls();
    CreateActions();
    CreateMenus();
    CreatePopupMenus();

    // The program starts without what failed; the user hears why.
    for (const std::string& failure : PrepareDataFolders()) {
        Mesg().ShowCaptioned(failure, "System Error", kMbError, nullptr);
    }

    mruMenu_ = std::make_unique<TMruMenuItems>(mruItems);
    mru_ = std::make_unique<TMru>(DataFolder(), Mesg());
    try {
        mru_->Load(mruMenu_.get());
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }

    UpdateFileCount();
    UpdateWordCount();
    SetHints();
    Mesg().Owner = this;
}

TfrmMain::~TfrmMain() {
    if (Mesg().Owner == this) {
        Mesg().Owner = nullptr;
        Mesg().CodePage = 1252;
    }
}

void TfrmMain::FormCreate(const QString& project) {
    FillExcludeListCombo();

    const t_Placement screen = AvailableScreenArea();
    t_Placement placement =
        CentredPlacement(QSize(kMainWindowDefaultWidth, kMainWindowDefaultHeight), *this);
    bool stored = false;
    int columns = 1;
    int wordView = 0;
    int sortColumn = WordDetailsModel::kWordColumn;
    int sortOrder = Qt::AscendingOrder;
    try {
        CConfig config(DataFolder(), Mesg());
        stored = config.GetPlacement(kCfgMainPlacement, placement, screen.Width, screen.Height);
        columns = config.ReadInteger(kCfgMainColumns, kDefaultColumns);
        wordView = config.ReadInteger(kCfgMainWordView, 0);
        sortColumn = config.ReadInteger(kCfgMainSortColumn, sortColumn);
        sortOrder = config.ReadInteger(kCfgMainSortOrder, sortOrder);
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    spnColumns->setValue(std::clamp(columns, 1, kMaxColumns));
    spnColumnsClick();
    cboIndexView->setCurrentIndex(wordView == 1 ? 1 : 0);
    lvwIndex->sortByColumn(
        std::clamp(sortColumn, 0, WordDetailsModel::kColumnCount - 1),
        sortOrder == Qt::DescendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder);
    ApplyPlacement(*this, placement, minimumSize(), !stored);

    OpenHelp(this);

    // A project named on the command line opens with the settings it was last used with; the
    // last project is not opened first, so its messages never come before the one asked for.
    TMruItem item;
    const bool named = !project.isEmpty() && !RefuseNonProject(project);
    if (!named) {
        mru_->TakeFirst(item);
    } else if (const TMruItem* known = mru_->Find(PathFromQt(project))) {
        item = *known;
    }
    ebxSource->setText(named ? project : PathToQt(item.ProjectFile));
    session_.WindowName = item.WindowName;
    session_.InitialId = item.InitialId;
    session_.SetAllOptions(item.Options);
    ShowOptions();
    cboExcludeList->setCurrentIndex(-1);
    SelectExcludeList(item.ExcludeListName);
    if (named) {
        ebxSourceKeyPress();
    } else {
        Scan();
    }
    ebxSource->setCursorPosition(static_cast<int>(ebxSource->text().size()));
    mru_->RefreshMenu();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (activeRun_) {
        // A parse or build is under way on the word list that closing empties. The run is asked
        // to stop at its next page or word; the window closes once the run has ended and its
        // dialog is gone (CloseIfAsked), as it would through Exit.
        closeAfterRun_ = true;
        activeRun_->CloseAfterRun();
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfrmMain::FormClose() {
    if (closed_) {
        return;
    }
    closed_ = true;
    try {
        CConfig config(DataFolder(), Mesg());
        PutWindowPlacement(config, kCfgMainPlacement, *this);
        config.WriteInteger(kCfgMainColumns, spnColumns->value());
        config.WriteInteger(kCfgMainWordView, cboIndexView->currentIndex());
        config.WriteInteger(kCfgMainSortColumn, detailsModel_->SortColumn());
        config.WriteInteger(kCfgMainSortOrder, detailsModel_->SortOrder());
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    RememberProject();
    try {
        mru_->Save();
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    session_.WordList.ClearWordList();
    CloseHelp();
}

std::string TfrmMain::TypedProjectFile() const {
    return PathFromQt(ebxSource->text());
}

std::string TfrmMain::SecondaryListName() const {
    return FromBytes(cboExcludeList->currentData().toByteArray());
}

std::array<std::pair<QCheckBox*, ParseOptions>, 6> TfrmMain::OptionBoxes() const {
    return {{{ckbTitle, kParseTitle},
             {ckbKeyWords, kParseKeywords},
             {ckbDescription, kParseDescription},
             {ckbBody, kParseBody},
             {ckbExcludeNumbers, kExcludeNumbers},
             {ckbDefaultExclude, kUseDefaultExclude}}};
}

void TfrmMain::ckbOptionClick() {
    ParseOptions options = 0;
    for (const auto& [box, option] : OptionBoxes()) {
        if (box->isChecked()) {
            options |= option;
        }
    }
    session_.Options = options;
}

void TfrmMain::ShowOptions() {
    // Each box checked below writes the boxes back into the session: the session's options are
    // read first.
    const ParseOptions options = session_.Options;
    for (const auto& [box, option] : OptionBoxes()) {
        box->setChecked(options & option);
    }
    UpdateMapControls();
}

void TfrmMain::UpdateFileCount() {
    lblFileCount->setText(QStringLiteral("Count = ") +
                          QString::fromStdString(GroupDigits(std::to_string(lbxFiles->count()))));
}

void TfrmMain::UpdateWordCount() {
    lblCountValue->setText(
        QStringLiteral("Count = ") +
        QString::fromStdString(GroupDigits(std::to_string(indexModel_->rowCount()))));
    lblCountValue->repaint();
}

void TfrmMain::UpdateMapControls() {
    const bool map = session_.MapMode != MapMode::None;
    btnBuildMap->setEnabled(map);
    lblMapFile->setEnabled(map);
    lblMapValue->setEnabled(map);
    lblAliasFile->setEnabled(session_.MapMode == MapMode::AliasFiles);
    lblAliasValue->setEnabled(session_.MapMode == MapMode::AliasFiles);
}

void TfrmMain::UpdateBuildIndexButton() {
    btnBuildIndex->setEnabled(indexModel_->rowCount() > 0);
}

void TfrmMain::Scan() {
    lbxFiles->clear();
    indexModel_->Clear();
    lblFileCount->setText(QStringLiteral("0"));
    lblCountValue->setText(QStringLiteral("0"));
    lblHhkValue->clear();
    lblAliasValue->clear();
    lblMapValue->clear();
    lblCodePageValue->clear();
    UpdateWordCount();

    session_.Open(TypedProjectFile());
    ShowProjectInTitle(*this, session_.ProjectFile());
    UseProjectCodePage();
    const THhpScanResult& project = session_.Project();
    const TCodePage& codePage = ProjectCodePage();
    if (!project.ReadError.empty()) {
        // A project that exists but cannot be read is listed empty; the user hears why.
        Mesg().Show(MessageName(project.ReadError), kMbError);
    }
    lbxFiles->setUpdatesEnabled(false);
    for (const std::string& file : project.Files) {
        auto* item = new QListWidgetItem(ToQt(file, codePage));
        item->setData(Qt::UserRole, Bytes(file));
        lbxFiles->addItem(item);
    }
    lbxFiles->setUpdatesEnabled(true);
    lblHhkValue->setText(ToQt(project.IndexCaption, codePage));
    lblAliasValue->setText(ToQt(project.AliasCaption, codePage));
    lblMapValue->setText(ToQt(project.MapCaption, codePage));
    lblCodePageValue->setText(project.ProjectRead ? QString::number(project.CodePage) : QString());
    UpdateFileCount();
    UpdateBuildIndexButton();
}

const WordCollator& TfrmMain::ProjectCollator() const {
    return WordCollator::For(session_.TextRules().CodePage);
}

const TCodePage& TfrmMain::ProjectCodePage() const {
    return ProjectCollator().CodePage();
}

void TfrmMain::UseProjectCodePage() {
    indexModel_->SetCollator(ProjectCollator());
    indexModel_->SetTopics(&session_.Project().Files);
    Mesg().CodePage = ProjectCodePage().Number();
}

bool TfrmMain::RememberProject() {
    return RememberProjectAt(session_.ProjectFile());
}

bool TfrmMain::RememberProjectAt(const std::string& path) {
    if (!FileExists(path)) {
        return false;
    }
    TMruItem item;
    item.ProjectFile = path;
    item.WindowName = session_.WindowName;
    item.ExcludeListName = SecondaryListName();
    item.InitialId = session_.InitialId;
    item.Options = session_.AllOptions();
    mru_->Add(item);
    return true;
}

void TfrmMain::actOpenExecute() {
    const QString chosen =
        testHooks_.OpenFileChooser
            ? testHooks_.OpenFileChooser(ebxSource->text())
            : QFileDialog::getOpenFileName(this, QStringLiteral("Open"), ebxSource->text(),
                                           QStringLiteral("HTML Help Project Files (*.hhp)"));
    if (chosen.isEmpty()) {
        return;
    }
    const std::string path = PathFromQt(chosen);
    if (!FileExists(path)) {
        return;
    }
    if (path == session_.ProjectFile()) {
        ShowOpenProject();
        return;
    }
    RememberProject();
    ebxSource->setText(chosen);
    Scan();
}

void TfrmMain::OnMRU() {
    auto* item = qobject_cast<QAction*>(sender());
    if (!item) {
        return;
    }
    const QByteArray path = item->data().toByteArray();
    const TMruItem* entry = path.isEmpty() ? nullptr : mru_->Find(FromBytes(path));
    if (!entry) {
        return;
    }
    const TMruItem chosen = *entry;  // the list, and so the entry, changes below
    if (chosen.ProjectFile == session_.ProjectFile()) {
        ShowOpenProject();
        return;
    }
    RememberProject();
    ebxSource->setText(PathToQt(chosen.ProjectFile));
    session_.WindowName = chosen.WindowName;
    session_.InitialId = chosen.InitialId;
    SelectExcludeList(chosen.ExcludeListName);
    session_.SetAllOptions(chosen.Options);
    ShowOptions();
    mru_->Remove(chosen.ProjectFile);
    Scan();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ebxSource && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            ebxSourceKeyPress();
            return true;
        }
    }
    if (watched == lbxIndex->viewport() && event->type() == QEvent::Resize && columns_ > 1) {
        ApplyColumns(columns_);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::ebxSourceKeyPress() {
    const std::string typed = TypedProjectFile();
    if (!PathExists(typed)) {
        // The open project stays open, and the box names it again: its words, its index name
        // and Build Index must never be taken for a project in another folder.
        if (!typed.empty()) {
            Mesg().Show("The file \"" + MessageName(typed) + "\" does not exist.", kMbInformation);
        }
        ShowOpenProject();
        return;
    }
    if (const std::string problem = RegularFileProblem(typed); !problem.empty()) {
        // A folder, a pipe or a device is no project: said at once, and the open one stays.
        Mesg().Show(EFOpenError(MessageName(typed), problem).what(), kMbError);
        ShowOpenProject();
        return;
    }
    // The project being left goes back onto the recent list with its settings, as it does when
    // another project is opened through Open or ReOpen; otherwise it would be lost from the list.
    if (session_.ProjectFile() != typed) {
        RememberProject();
    }
    // The typed project is listed with the settings it is opened with.
    RememberProjectAt(typed);
    Scan();
}

void TfrmMain::OpenProject(const QString& path) {
    if (activeRun_ || QApplication::activeModalWidget()) {
        // A run works on the open project's words, and a dialog on its lists or words: opening
        // another project under them would pull those away. The project waits until the user
        // has finished; a later request replaces it.
        const bool waiting = !pendingProject_.isEmpty();
        pendingProject_ = path;
        if (!waiting) {
            QTimer::singleShot(kPendingProjectRetryMs, this, &TfrmMain::OpenPendingProject);
        }
        return;
    }
    if (RefuseNonProject(path)) {
        return;
    }
    ebxSource->setText(path);
    ebxSourceKeyPress();
    ebxSource->setCursorPosition(static_cast<int>(ebxSource->text().size()));
}

void TfrmMain::OpenPendingProject() {
    const QString path = std::exchange(pendingProject_, QString());
    if (!path.isEmpty()) {
        OpenProject(path);
    }
}

bool TfrmMain::RefuseNonProject(const QString& path) {
    const std::string file = PathFromQt(path);
    if (PathExists(file) && RegularFileProblem(file).empty() &&
        QFileInfo(path).suffix().compare(QStringLiteral("hhp"), Qt::CaseInsensitive) != 0) {
        Mesg().Show("The file \"" + MessageName(file) + "\" is not an HTML Help project (.hhp).",
                    kMbError);
        return true;
    }
    return false;
}

namespace {

// The first local project file (.hhp, in any letter case) among dragged files; empty for none.
QString DroppedProject(const QMimeData* data) {
    if (!data || !data->hasUrls()) {
        return QString();
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() &&
            url.toLocalFile().endsWith(QStringLiteral(".hhp"), Qt::CaseInsensitive)) {
            return url.toLocalFile();
        }
    }
    return QString();
}

}  // namespace

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!activeRun_ && !DroppedProject(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void TfrmMain::dropEvent(QDropEvent* event) {
    const QString project = DroppedProject(event->mimeData());
    if (project.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    OpenProject(project);
}

void TfrmMain::ShowOpenProject() {
    const QString open = PathToQt(session_.ProjectFile());
    if (ebxSource->text() != open) {
        ebxSource->setText(open);
        ebxSource->setCursorPosition(static_cast<int>(open.size()));
    }
}

void TfrmMain::mnuCloseClick() {
    CloseProject();
}

void TfrmMain::CloseProject() {
    RememberProject();
    try {
        mru_->Save();
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    session_.Close();
    ShowProjectInTitle(*this, session_.ProjectFile());
    ShowOptions();
    cboExcludeList->setCurrentIndex(-1);
    ebxSource->clear();
    lblHhkValue->clear();
    lblMapValue->clear();
    lblAliasValue->clear();
    lblCodePageValue->clear();
    lbxFiles->clear();
    indexModel_->Clear();
    UseProjectCodePage();
    lblFileCount->setText(QStringLiteral("0"));
    lblCountValue->setText(QStringLiteral("0"));
    UpdateBuildIndexButton();
}

void TfrmMain::actExitExecute() {
    close();
}

void TfrmMain::FillExcludeListCombo() {
    cboExcludeList->clear();
    cboExcludeList->addItem(QString(), QByteArray());
    const std::string folder = ExcludeListFolder();
    if (folder.empty() || !FolderExists(folder)) {
        return;
    }
    std::vector<std::string> names = ListTextFiles(folder);
    std::erase_if(names, [](const std::string& name) { return name == DefaultExcludeListName; });
    // File names, not the project's words: sorted as Windows-1252 text whatever project is open,
    // so that the choice keeps one order (the editor sorts them so too).
    std::stable_sort(names.begin(), names.end(), WordLess());
    for (const std::string& name : names) {
        cboExcludeList->addItem(PathToQt(name), Bytes(name));
    }
}

void TfrmMain::SelectExcludeList(const std::string& name) {
    if (name.empty()) {
        return;
    }
    const int index = cboExcludeList->findData(Bytes(name));
    if (index >= 0) {
        cboExcludeList->setCurrentIndex(index);
    }
}

}  // namespace tarnwick
