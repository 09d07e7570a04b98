#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/program_folders.h"
#include "pipeline/exclude_list.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "store/config.h"
#include "store/kdf.h"
#include "store/mru_item.h"
#include "support/ansi_case.h"
#include "support/message.h"
#include "support/utils.h"
#include "support/word_compare.h"
#include "ui/dialog_about.h"
#include "ui/dialog_alias_map.h"
#include "ui/dialog_build_index.h"
#include "ui/dialog_export.h"
#include "ui/dialog_parse.h"
#include "ui/form_exclude_file.h"
#include "ui/help.h"
#include "ui/message_text.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"
#include "ui/word_view_model.h"

namespace tarnwick {

namespace {

constexpr int kMaxColumns = 10;
constexpr int kHelpContextMain = 7;

// Status tips are shown with a leading space, as the status bar always showed them.
void ApplyHint(QWidget* widget, const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    const QString shortPart = bar < 0 ? hint : hint.left(bar);
    const QString longPart = bar < 0 ? hint : hint.mid(bar + 1);
    widget->setToolTip(shortPart);
    widget->setStatusTip(QLatin1Char(' ') + longPart);
}

}  // namespace

void SetHint(QWidget* widget, const QString& hint) {
    ApplyHint(widget, hint);
}

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

    CreateControls();
    CreateActionsAndMenus();

    // The program starts without what failed; the user hears why.
    for (const std::string& failure : PrepareDataFolders()) {
        Mesg().ShowCaptioned(failure, "System Error", kMbError, nullptr);
    }

    mruMenu_ = std::make_unique<TMruMenuItems>(mruItems);
    Mru = std::make_unique<TMru>(DataFolder(), Mesg());
    try {
        Mru->Load(mruMenu_.get());
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
    }
}

void TfrmMain::CreateControls() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 4);

    // Options and buttons along the top.
    auto* top = new QHBoxLayout;
    gbxInclude = new QGroupBox(QStringLiteral("Include"), central);
    ckbBody = new QCheckBox(QStringLiteral("Body Text"), gbxInclude);
    ckbTitle = new QCheckBox(QStringLiteral("Title"), gbxInclude);
    ckbDescription = new QCheckBox(QStringLiteral("Description"), gbxInclude);
    ckbKeyWords = new QCheckBox(QStringLiteral("Key Words"), gbxInclude);
    ckbBody->setChecked(true);
    // One column each, so that the options keep their whole captions at the smallest width.
    auto* include = new QVBoxLayout(gbxInclude);
    include->addWidget(ckbBody);
    include->addWidget(ckbTitle);
    include->addWidget(ckbDescription);
    include->addWidget(ckbKeyWords);
    include->addStretch();
    top->addWidget(gbxInclude);

    gbxExclude = new QGroupBox(QStringLiteral("Exclude"), central);
    ckbExcludeNumbers = new QCheckBox(QStringLiteral("Exclude words with numbers"), gbxExclude);
    ckbDefaultExclude = new QCheckBox(QStringLiteral("Use default exclude list"), gbxExclude);
    ckbExcludeNumbers->setChecked(true);
    ckbDefaultExclude->setChecked(true);
    lblSecondaryExclude = new QLabel(QStringLiteral("Secondary exclude list:"), gbxExclude);
    cboExcludeList = new QComboBox(gbxExclude);
    cboExcludeList->setMinimumContentsLength(16);
    auto* exclude = new QVBoxLayout(gbxExclude);
    exclude->addWidget(ckbExcludeNumbers);
    exclude->addWidget(ckbDefaultExclude);
    exclude->addWidget(lblSecondaryExclude);
    exclude->addWidget(cboExcludeList);
    exclude->addStretch();
    top->addWidget(gbxExclude, 1);

    auto* buttons = new QVBoxLayout;
    btnParse = new QPushButton(QStringLiteral("Parse HTML"), central);
    btnBuildIndex = new QPushButton(QStringLiteral("Build Index"), central);
    btnBuildMap = new QPushButton(QStringLiteral("Build Map"), central);
    buttons->addWidget(btnParse);
    buttons->addWidget(btnBuildIndex);
    buttons->addWidget(btnBuildMap);
    buttons->addStretch();
    top->addLayout(buttons);
    outer->addLayout(top);

    // The project file and what it names.
    auto* source = new QHBoxLayout;
    lblSource = new QLabel(QStringLiteral("HHP File:"), central);
    ebxSource = new QLineEdit(central);
    btnSource = new QToolButton(central);
    btnSource->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    source->addWidget(lblSource);
    source->addWidget(ebxSource, 1);
    source->addWidget(btnSource);
    outer->addLayout(source);

    auto* names = new QHBoxLayout;
    auto valueLabel = [central]() {
        auto* label = new QLabel(central);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(60);
        label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        return label;
    };
    lblHhkFile = new QLabel(QStringLiteral("Hhk:"), central);
    lblHhkValue = valueLabel();
    lblAliasFile = new QLabel(QStringLiteral("Alias:"), central);
    lblAliasValue = valueLabel();
    lblMapFile = new QLabel(QStringLiteral("Map:"), central);
    lblMapValue = valueLabel();
    for (QWidget* w : std::initializer_list<QWidget*>{lblHhkFile, lblHhkValue, lblAliasFile,
                                                      lblAliasValue, lblMapFile, lblMapValue}) {
        names->addWidget(w);
    }
    outer->addLayout(names);

    // Topic files on the left of the splitter, words on the right.
    Splitter1 = new QSplitter(Qt::Horizontal, central);
    auto* filePanel = new QWidget(Splitter1);
    auto* fileLayout = new QVBoxLayout(filePanel);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    lblFileCount = new QLabel(QStringLiteral("0"), filePanel);
    lbxFiles = new QListWidget(filePanel);
    lbxFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lbxFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    // A big project lists tens of thousands of topics; measuring every item at once would hold
    // the window still after the project is opened, so the list is laid out in batches.
    lbxFiles->setLayoutMode(QListView::Batched);
    lbxFiles->setBatchSize(1000);
    fileLayout->addWidget(lblFileCount);
    fileLayout->addWidget(lbxFiles);

    auto* wordPanel = new QWidget(Splitter1);
    auto* wordLayout = new QVBoxLayout(wordPanel);
    wordLayout->setContentsMargins(0, 0, 0, 0);
    auto* wordHead = new QHBoxLayout;
    lblCountValue = new QLabel(QStringLiteral("0"), wordPanel);
    lblColumns = new QLabel(QStringLiteral("Columns:"), wordPanel);
    spnColumns = new QSpinBox(wordPanel);
    spnColumns->setRange(1, kMaxColumns);
    spnColumns->setValue(1);
    wordHead->addWidget(lblCountValue, 1);
    wordHead->addWidget(lblColumns);
    wordHead->addWidget(spnColumns);
    lbxIndex = new QListView(wordPanel);
    indexModel_ = new WordViewModel(lbxIndex);
    lbxIndex->setModel(indexModel_);
    lbxIndex->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lbxIndex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbxIndex->setUniformItemSizes(true);
    lbxIndex->setLayoutMode(QListView::Batched);
    lbxIndex->setBatchSize(5000);
    lbxIndex->setContextMenuPolicy(Qt::CustomContextMenu);
    wordLayout->addLayout(wordHead);
    wordLayout->addWidget(lbxIndex);
    Splitter1->addWidget(filePanel);
    Splitter1->addWidget(wordPanel);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 2);
    outer->addWidget(Splitter1, 1);

    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);

    const std::pair<QObject*, const char*> names_[] = {
        {gbxInclude, "gbxInclude"},
        {ckbBody, "ckbBody"},
        {ckbTitle, "ckbTitle"},
        {ckbDescription, "ckbDescription"},
        {ckbKeyWords, "ckbKeyWords"},
        {gbxExclude, "gbxExclude"},
        {ckbExcludeNumbers, "ckbExcludeNumbers"},
        {ckbDefaultExclude, "ckbDefaultExclude"},
        {lblSecondaryExclude, "lblSecondaryExclude"},
        {cboExcludeList, "cboExcludeList"},
        {btnParse, "btnParse"},
        {btnBuildIndex, "btnBuildIndex"},
        {btnBuildMap, "btnBuildMap"},
        {lblSource, "lblSource"},
        {ebxSource, "ebxSource"},
        {btnSource, "btnSource"},
        {lblHhkFile, "lblHhkFile"},
        {lblHhkValue, "lblHhkValue"},
        {lblAliasFile, "lblAliasFile"},
        {lblAliasValue, "lblAliasValue"},
        {lblMapFile, "lblMapFile"},
        {lblMapValue, "lblMapValue"},
        {lblFileCount, "lblFileCount"},
        {lbxFiles, "lbxFiles"},
        {Splitter1, "Splitter1"},
        {lblCountValue, "lblCountValue"},
        {lblColumns, "lblColumns"},
        {spnColumns, "spnColumns"},
        {lbxIndex, "lbxIndex"},
    };
    for (const auto& [object, name] : names_) {
        object->setObjectName(QLatin1String(name));
    }

    ebxSource->installEventFilter(this);
    // Column widths follow the word view's own width, which changes after the window's.
    lbxIndex->viewport()->installEventFilter(this);
    connect(btnParse, &QPushButton::clicked, this, &TfrmMain::actParseExecute);
    connect(btnBuildIndex, &QPushButton::clicked, this, &TfrmMain::OnBuildIndex);
    connect(btnBuildMap, &QPushButton::clicked, this, &TfrmMain::OnBuildMap);
    connect(spnColumns, &QSpinBox::valueChanged, this, &TfrmMain::spnColumnsClick);
    connect(lbxIndex, &QListView::customContextMenuRequested, this, [this](const QPoint& pos) {
        pumIndexPopup();
        pumIndex->exec(lbxIndex->viewport()->mapToGlobal(pos));
    });
    connect(lbxFiles, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pumFiles->exec(lbxFiles->viewport()->mapToGlobal(pos)); });
}

void TfrmMain::CreateActionsAndMenus() {
    auto makeAction = [this](const QString& caption, const char* name) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    actOpen = makeAction(QStringLiteral("Open"), "actOpen");
    actOpen->setStatusTip(QStringLiteral(" Open an hhp file"));
    actParse = makeAction(QStringLiteral("Parse HTML"), "actParse");
    actDefaultExclude =
        makeAction(QStringLiteral("Move To Default Exclude List"), "actDefaultExclude");
    actDefaultExclude->setStatusTip(QStringLiteral(" Move to Default Exclude File"));
    actUserExclude =
        makeAction(QStringLiteral("Move To Secondary Exclude  List"), "actUserExclude");
    actEditExcludeFile = makeAction(QStringLiteral("Edit Exclude List ..."), "actEditExcludeFile");
    actEditExcludeFile->setStatusTip(QStringLiteral(" Edit Exclude File"));
    actHelp = makeAction(QStringLiteral("Help"), "actHelp");
    actHelp->setShortcut(QKeySequence(Qt::Key_F1));
    actHelp->setShortcutContext(Qt::WindowShortcut);
    actExit = makeAction(QStringLiteral("Exlit"), "actExit");
    actExit->setStatusTip(QStringLiteral(" Exit"));
    addAction(actHelp);

    connect(actOpen, &QAction::triggered, this, &TfrmMain::actOpenExecute);
    connect(actParse, &QAction::triggered, this, &TfrmMain::actParseExecute);
    connect(actDefaultExclude, &QAction::triggered, this, &TfrmMain::actDefaultExcludeExecute);
    connect(actUserExclude, &QAction::triggered, this, &TfrmMain::actUserExcludeExecute);
    connect(actEditExcludeFile, &QAction::triggered, this, &TfrmMain::actEditExcludeFileExecute);
    connect(actHelp, &QAction::triggered, this, &TfrmMain::actHelpExecute);
    connect(actExit, &QAction::triggered, this, &TfrmMain::actExitExecute);
    connect(btnSource, &QToolButton::clicked, this, &TfrmMain::actOpenExecute);

    mnuFile = menuBar()->addMenu(QStringLiteral(" File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile->addAction(actOpen);
    mnuReOpen = mnuFile->addMenu(QStringLiteral("ReOpen"));
    mnuReOpen->setObjectName(QStringLiteral("mnuReOpen"));
    for (int i = 0; i < 10; ++i) {
        QAction* item = mnuReOpen->addAction(QString());
        item->setObjectName(QStringLiteral("mru%1").arg(10 + i));
        item->setVisible(false);
        connect(item, &QAction::triggered, this, &TfrmMain::OnMRU);
        mruItems.push_back(item);
    }
    mnuClose = mnuFile->addAction(QStringLiteral("Close"));
    mnuClose->setObjectName(QStringLiteral("mnuClose"));
    connect(mnuClose, &QAction::triggered, this, &TfrmMain::mnuCloseClick);
    mnuFile->addSeparator();
    mnuFile->addAction(actExit);

    mnuBuild = menuBar()->addMenu(QStringLiteral("Build"));
    mnuBuild->setObjectName(QStringLiteral("mnuBuild"));
    mnuBuildAll = mnuBuild->addAction(QStringLiteral("All"));
    mnuBuildIndex = mnuBuild->addAction(QStringLiteral("Index"));
    mnuBuildMap = mnuBuild->addAction(QStringLiteral("Map"));
    mnuBuildAll->setObjectName(QStringLiteral("mnuBuildAll"));
    mnuBuildIndex->setObjectName(QStringLiteral("mnuBuildIndex"));
    mnuBuildMap->setObjectName(QStringLiteral("mnuBuildMap"));
    for (QAction* item : {mnuBuildAll, mnuBuildIndex, mnuBuildMap}) {
        connect(item, &QAction::triggered, this, &TfrmMain::OnBuildIndex);
    }
    connect(mnuBuild, &QMenu::aboutToShow, this, &TfrmMain::mnuBuildClick);

    mnuTools = menuBar()->addMenu(QStringLiteral("Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuTools->addAction(actEditExcludeFile);
    mnuExport = mnuTools->addAction(QStringLiteral("Export Index ..."));
    mnuExport->setObjectName(QStringLiteral("mnuExport"));
    connect(mnuExport, &QAction::triggered, this, &TfrmMain::mnuExportClick);
    mnuAliasMap = mnuTools->addAction(QStringLiteral("Alias/Map Files ..."));
    mnuAliasMap->setObjectName(QStringLiteral("mnuAliasMap"));
    connect(mnuAliasMap, &QAction::triggered, this, &TfrmMain::mnuAliasMapClick);

    mnuHelp = menuBar()->addMenu(QStringLiteral("Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelp->addAction(actHelp);
    mnuAbout = mnuHelp->addAction(QStringLiteral("About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    connect(mnuAbout, &QAction::triggered, this, &TfrmMain::mnuAboutClick);

    pumIndex = new QMenu(this);
    pumIndex->setObjectName(QStringLiteral("pumIndex"));
    pumIndex->addAction(actDefaultExclude);
    pumIndex->addAction(actUserExclude);
    pumFiles = new QMenu(this);
    pumFiles->setObjectName(QStringLiteral("pumFiles"));
    pumRefreshList = pumFiles->addAction(QStringLiteral("Refresh List"));
    pumRefreshList->setObjectName(QStringLiteral("pumRefreshList"));
    connect(pumRefreshList, &QAction::triggered, this, &TfrmMain::pumRefreshListClick);
}

void TfrmMain::SetHints() {
    const std::pair<QWidget*, const char*> hints[] = {
        {ckbBody, "Parse body text|Parse the text between HTML Body tags, <body> </body>"},
        {ckbTitle, "Parse title|Parse the text between HTML title tags, <title> </title>"},
        {ckbDescription,
         "Parse description|Parse the content in the meta tag <meta "
         "name=\"description\" content=\"...\">"},
        {ckbKeyWords,
         "Parse keywords|Parse the content in the meta tag <meta name=\"keywords\" "
         "content=\"...\">"},
        {ckbDefaultExclude,
         "Use default exclude list|Use the default exclude list to exclude words from index"},
        {ckbExcludeNumbers, "Exclude numbers|Exclude numbers and words with numbers from index"},
        {cboExcludeList, "Select secondary exclude list|Select a secondary exclude list"},
        {ebxSource, "Location of HHP file|Location of HTML Help Project file"},
        {btnSource, "Open hhp file|Open an HTML project (hhp) file"},
        {lblHhkValue, "Index file name|Name of index (HHK) file to build"},
        {lblAliasValue,
         "Alias file name|Name of the alias file that matches topic files to topic ID's"},
        {lblMapValue, "Map file name|Name of the header file that has topic ID values "},
        {btnParse, "Parse HTML files|Parse out index words from the HTML files"},
        {btnBuildIndex, "Build index file|Build the HHK index file usinging parsed words"},
        {btnBuildMap, "Build alias/map files|Build the alias and map files"},
        {spnColumns, "Set parsed words columns|Set the number of colmuns to view parsed words"},
        {lbxFiles, "|List of topic files in the HHP (HTML Help Project file)"},
        {lbxIndex, "|List of index words parsed from the topic files in the project"},
    };
    for (const auto& [widget, hint] : hints) {
        ApplyHint(widget, QString::fromLatin1(hint));
    }
    // The read-only box beside the spinner is part of the spin box here; its hint joins it.
    spnColumns->setToolTip(QStringLiteral("Parsed words columns"));
}

void TfrmMain::FormCreate() {
    FillExcludeListCombo();

    const t_Placement screen = AvailableScreenArea();
    t_Placement placement{screen.Width / 2 - width() / 2, screen.Height / 2 - height() / 2,
                          kMainWindowDefaultWidth, kMainWindowDefaultHeight};
    int columns = 1;
    try {
        CConfig config(DataFolder(), Mesg());
        config.GetPlacement(kCfgMainPlacement, placement, screen.Width, screen.Height);
        columns = config.ReadInteger(kCfgMainColumns, kDefaultColumns);
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    spnColumns->setValue(std::clamp(columns, 1, kMaxColumns));
    spnColumnsClick();
    ApplyPlacement(*this, placement, minimumSize());

    OpenHelp(this);

    TMruItem item;
    Mru->TakeFirst(item);
    ebxSource->setText(PathToQt(item.ProjectFile));
    WindowName = item.WindowName;
    InitialId = item.InitialId;
    SetOptions(item.Options);
    cboExcludeList->setCurrentIndex(-1);
    SelectExcludeList(item.ExcludeListName);
    Scan();
    ebxSource->setCursorPosition(static_cast<int>(ebxSource->text().size()));
    Mru->RefreshMenu();
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

void TfrmMain::FormClose() {
    if (closed_) {
        return;
    }
    closed_ = true;
    const QRect frame = geometry();
    try {
        CConfig config(DataFolder(), Mesg());
        config.PutPlacement(kCfgMainPlacement, frame.left(), frame.top(), frame.width(),
                            frame.height());
        config.WriteInteger(kCfgMainColumns, spnColumns->value());
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    RememberProject();
    try {
        Mru->Save();
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    WordList.ClearWordList();
    CloseHelp();
}

std::string TfrmMain::ProjectFile() const {
    return PathFromQt(ebxSource->text());
}

std::string TfrmMain::SecondaryListName() const {
    return FromBytes(cboExcludeList->currentData().toByteArray());
}

ParseOptions TfrmMain::GetOptions() const {
    ParseOptions options = 0;
    if (ckbTitle->isChecked())
        options |= kParseTitle;
    if (ckbKeyWords->isChecked())
        options |= kParseKeywords;
    if (ckbDescription->isChecked())
        options |= kParseDescription;
    if (ckbBody->isChecked())
        options |= kParseBody;
    if (ckbExcludeNumbers->isChecked())
        options |= kExcludeNumbers;
    if (ckbDefaultExclude->isChecked())
        options |= kUseDefaultExclude;
    return options | MapOptionBits(MapMode);
}

void TfrmMain::SetOptions(ParseOptions options) {
    ckbTitle->setChecked(options & kParseTitle);
    ckbKeyWords->setChecked(options & kParseKeywords);
    ckbDescription->setChecked(options & kParseDescription);
    ckbBody->setChecked(options & kParseBody);
    ckbExcludeNumbers->setChecked(options & kExcludeNumbers);
    ckbDefaultExclude->setChecked(options & kUseDefaultExclude);
    MapMode = MapModeOf(options);
    UpdateMapControls();
}

void TfrmMain::UpdateFileCount() {
    lblFileCount->setText(QStringLiteral("Count = ") +
                          ToQt(GroupDigits(std::to_string(lbxFiles->count()))));
}

void TfrmMain::UpdateWordCount() {
    lblCountValue->setText(QStringLiteral("Count = ") +
                           ToQt(GroupDigits(std::to_string(indexModel_->rowCount()))));
    lblCountValue->repaint();
}

void TfrmMain::UpdateMapControls() {
    const bool map = MapMode != MapMode::None;
    btnBuildMap->setEnabled(map);
    lblMapFile->setEnabled(map);
    lblMapValue->setEnabled(map);
    lblAliasFile->setEnabled(MapMode == MapMode::AliasFiles);
    lblAliasValue->setEnabled(MapMode == MapMode::AliasFiles);
}

void TfrmMain::Scan() {
    lbxFiles->clear();
    indexModel_->Clear();
    lblFileCount->setText(QStringLiteral("0"));
    lblCountValue->setText(QStringLiteral("0"));
    lblHhkValue->clear();
    lblAliasValue->clear();
    lblMapValue->clear();
    UpdateWordCount();

    Project = THhpScanner().Scan(ProjectFile(), Project);
    if (!Project.ReadError.empty()) {
        // A project that exists but cannot be read is listed empty; the user hears why.
        Mesg().Show(MessageName(Project.ReadError), kMbError);
    }
    lbxFiles->setUpdatesEnabled(false);
    for (const std::string& file : Project.Files) {
        auto* item = new QListWidgetItem(ToQt(file));
        item->setData(Qt::UserRole, Bytes(file));
        lbxFiles->addItem(item);
    }
    lbxFiles->setUpdatesEnabled(true);
    lblHhkValue->setText(ToQt(Project.IndexCaption));
    lblAliasValue->setText(ToQt(Project.AliasCaption));
    lblMapValue->setText(ToQt(Project.MapCaption));
    openProject_ = ProjectFile();
    UpdateFileCount();
    btnBuildIndex->setEnabled(indexModel_->rowCount() > 0);
}

bool TfrmMain::RememberProject() {
    return RememberProjectAt(openProject_);
}

bool TfrmMain::RememberProjectAt(const std::string& path) {
    if (!FileExists(path)) {
        return false;
    }
    TMruItem item;
    item.ProjectFile = path;
    item.WindowName = WindowName;
    item.ExcludeListName = SecondaryListName();
    item.InitialId = InitialId;
    item.Options = GetOptions();
    Mru->Add(item);
    return true;
}

void TfrmMain::actOpenExecute() {
    const QString chosen = OpenFileChooser ? OpenFileChooser(ebxSource->text())
                                           : QFileDialog::getOpenFileName(
                                                 this, QStringLiteral("Open"), ebxSource->text(),
                                                 QStringLiteral("HTML Help Project Files (*.hhp)"));
    if (chosen.isEmpty()) {
        return;
    }
    const std::string path = PathFromQt(chosen);
    if (!FileExists(path)) {
        return;
    }
    if (path == openProject_) {
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
    const TMruItem* entry = path.isEmpty() ? nullptr : Mru->Find(FromBytes(path));
    if (!entry) {
        return;
    }
    const TMruItem chosen = *entry;  // the list, and so the entry, changes below
    if (chosen.ProjectFile == openProject_) {
        ShowOpenProject();
        return;
    }
    RememberProject();
    ebxSource->setText(PathToQt(chosen.ProjectFile));
    WindowName = chosen.WindowName;
    InitialId = chosen.InitialId;
    SelectExcludeList(chosen.ExcludeListName);
    SetOptions(chosen.Options);
    Mru->Remove(chosen.ProjectFile);
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
    const std::string typed = ProjectFile();
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
    if (openProject_ != typed) {
        RememberProject();
    }
    // The typed project is listed with the settings it is opened with.
    RememberProjectAt(typed);
    Scan();
}

void TfrmMain::ShowOpenProject() {
    const QString open = PathToQt(openProject_);
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
        Mru->Save();
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    ckbBody->setChecked(true);
    ckbTitle->setChecked(false);
    ckbDescription->setChecked(false);
    ckbKeyWords->setChecked(false);
    ckbExcludeNumbers->setChecked(true);
    ckbDefaultExclude->setChecked(false);
    cboExcludeList->setCurrentIndex(-1);
    ebxSource->clear();
    lblHhkValue->clear();
    lblMapValue->clear();
    lblAliasValue->clear();
    lbxFiles->clear();
    indexModel_->Clear();
    Project = THhpScanResult();
    openProject_.clear();
    lblFileCount->setText(QStringLiteral("0"));
    lblCountValue->setText(QStringLiteral("0"));
    WindowName.clear();
    MapMode = MapMode::None;
    InitialId = 0;
    btnBuildIndex->setEnabled(indexModel_->rowCount() > 0);
    UpdateMapControls();
}

void TfrmMain::actExitExecute() {
    close();
}

void TfrmMain::actParseExecute() {
    if (!ckbBody->isChecked() && !ckbTitle->isChecked() && !ckbDescription->isChecked() &&
        !ckbKeyWords->isChecked()) {
        Mesg().Show("No parsing option is checked.", kMbInformation);
        return;
    }
    ShowOpenProject();
    const std::string project = openProject_;
    if (!FileExists(project)) {
        return;
    }
    indexModel_->Clear();
    UpdateWordCount();

    TdlgParse_InitData input;
    input.ProjectFile = project;
    input.WordList = &WordList;
    input.Options = GetOptions();
    input.Files = &Project.Files;
    input.DefaultListPath = DefaultExcludeListPath();
    const std::string secondary = SecondaryListName();
    if (!secondary.empty() && !ExcludeListFolder().empty()) {
        input.SecondaryListPath = ExcludeListFolder() + secondary;
    }
    {
        TdlgParse dialog(this);
        dialog.Prepare(input, indexModel_);
        if (ParseDialogHook) {
            ParseDialogHook(dialog);
        }
        RunModal(dialog);
    }
    UpdateWordCount();
    btnBuildIndex->setEnabled(indexModel_->rowCount() > 0);
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
    TdlgBuildNdx_InitData input;
    input.BuildIndex =
        hasWords && (source == btnBuildIndex || source == mnuBuildAll || source == mnuBuildIndex);
    input.BuildMap = MapMode != MapMode::None &&
                     (source == btnBuildMap || source == mnuBuildAll || source == mnuBuildMap);
    input.ProjectFile = openProject_;
    input.IndexFile = Project.IndexCaption;
    input.Words = &WordList;
    input.Files = &Project.Files;
    input.MapSettings = [this]() {
        TMapSettings settings;
        settings.Options = GetOptions();
        settings.AliasFile = Project.AliasFile;
        settings.MapFile = Project.MapFile;
        settings.WindowName = WindowName;
        settings.InitialId = InitialId;
        settings.MaxNameLength = Project.MaxNameLength;
        return settings;
    };
    {
        TdlgBuildNdx dialog(this);
        dialog.Prepare(input);
        if (BuildDialogHook) {
            BuildDialogHook(dialog);
        }
        RunModal(dialog);
    }
    btnBuildIndex->setEnabled(false);
    CloseIfAsked();
}

void TfrmMain::mnuBuildClick() {
    const bool hasWords = indexModel_->rowCount() > 0;
    mnuBuildAll->setEnabled(hasWords && MapMode != MapMode::None);
    mnuBuildIndex->setEnabled(hasWords);
    mnuBuildMap->setEnabled(MapMode != MapMode::None);
}

void TfrmMain::pumIndexPopup() {
    const bool selected = lbxIndex->selectionModel()->hasSelection();
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
    std::vector<int> rows;
    for (const QModelIndex& index : lbxIndex->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end(), std::greater<>());
    try {
        TExcludeList list(listPath);
        for (int row : rows) {
            list.AddWord(AnsiLowerCase(indexModel_->Word(row)));
        }
        list.Save();
    } catch (const std::exception& e) {
        // The words leave the view only once they are safely in the list's file.
        ShowError(e);
        return;
    }
    lbxIndex->selectionModel()->clearSelection();
    indexModel_->RemoveRows(rows);
    UpdateWordCount();
    btnBuildIndex->setEnabled(indexModel_->rowCount() > 0);
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

void TfrmMain::actEditExcludeFileExecute() {
    const std::string noted = SecondaryListName();
    try {
        TfrmEdit editor(this);
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
        dialog.Prepare(&indexModel_->Words(), openProject_);
        dialog.exec();
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

void TfrmMain::mnuAliasMapClick() {
    try {
        TdlgAliasMap dialog(*this);
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

void TfrmMain::actHelpExecute() {
    ShowHelpContext(this, kHelpContextMain);
}

// File errors carry paths in the file system's encoding; the box shows Windows-1252.
void TfrmMain::ShowError(const std::exception& error) {
    Mesg().Show(MessageName(error.what()), kMbError);
}

}  // namespace tarnwick
