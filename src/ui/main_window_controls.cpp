// The main window's controls, actions, menus and hints, built once by the constructor. Controls
// are created in the order Tab visits them.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/elided_text.h"
#include "ui/hints.h"
#include "ui/main_window.h"
#include "ui/word_details_model.h"
#include "ui/word_view_model.h"

namespace tarnwick {

void TfrmMain::CreateControls() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->addLayout(CreateOptionsRow(central));
    outer->addLayout(CreateSourceRow(central));
    outer->addLayout(CreateNamesRow(central));
    outer->addWidget(CreateFileAndWordPanes(central), 1);
    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);
    // The current word's topics stay on the right while the hints come and go on the left.
    lblWordTopics = new QLabel(statusBar());
    statusBar()->addPermanentWidget(lblWordTopics);
    NameControls();
    ConnectControls();
}

// Options and buttons along the top.
QHBoxLayout* TfrmMain::CreateOptionsRow(QWidget* central) {
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
    cboExcludeList = new ElidingComboBox(gbxExclude);
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
    return top;
}

// The project file.
QHBoxLayout* TfrmMain::CreateSourceRow(QWidget* central) {
    auto* source = new QHBoxLayout;
    lblSource = new QLabel(QStringLiteral("HHP File:"), central);
    ebxSource = new QLineEdit(central);
    btnSource = new QToolButton(central);
    btnSource->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    source->addWidget(lblSource);
    source->addWidget(ebxSource, 1);
    source->addWidget(btnSource);
    return source;
}

// The index, alias and map files the project names.
QHBoxLayout* TfrmMain::CreateNamesRow(QWidget* central) {
    auto* names = new QHBoxLayout;
    auto valueLabel = [central]() {
        auto* label = new ElidingLabel(central);
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
    // The code page the project's words are written in: a number, so it needs no width to share.
    lblCodePage = new QLabel(QStringLiteral("Code page:"), central);
    lblCodePageValue = valueLabel();
    lblCodePageValue->setMinimumWidth(0);
    lblCodePageValue->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    for (QWidget* w :
         std::initializer_list<QWidget*>{lblHhkFile, lblHhkValue, lblAliasFile, lblAliasValue,
                                         lblMapFile, lblMapValue, lblCodePage, lblCodePageValue}) {
        names->addWidget(w);
    }
    return names;
}

// Topic files on the left of the splitter, words on the right.
QSplitter* TfrmMain::CreateFileAndWordPanes(QWidget* central) {
    Splitter1 = new QSplitter(Qt::Horizontal, central);
    QWidget* filePane = CreateFilePane(Splitter1);
    QWidget* wordPane = CreateWordPane(Splitter1);
    Splitter1->addWidget(filePane);
    Splitter1->addWidget(wordPane);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 2);
    return Splitter1;
}

QWidget* TfrmMain::CreateFilePane(QWidget* parent) {
    auto* filePanel = new QWidget(parent);
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
    return filePanel;
}

QWidget* TfrmMain::CreateWordPane(QWidget* parent) {
    auto* wordPanel = new QWidget(parent);
    auto* wordLayout = new QVBoxLayout(wordPanel);
    wordLayout->setContentsMargins(0, 0, 0, 0);
    auto* wordHead = new QHBoxLayout;
    lblCountValue = new QLabel(QStringLiteral("0"), wordPanel);
    lblColumns = new QLabel(QStringLiteral("Columns:"), wordPanel);
    spnColumns = new QSpinBox(wordPanel);
    spnColumns->setRange(1, kMaxColumns);
    spnColumns->setValue(1);
    lblIndexView = new QLabel(QStringLiteral("View:"), wordPanel);
    cboIndexView = new QComboBox(wordPanel);
    cboIndexView->addItem(QStringLiteral("List"));
    cboIndexView->addItem(QStringLiteral("Details"));
    wordHead->addWidget(lblCountValue, 1);
    wordHead->addWidget(lblIndexView);
    wordHead->addWidget(cboIndexView);
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
    // The details mode: the same words as a table in an order of its own.
    lvwIndex = new QTreeView(wordPanel);
    detailsModel_ = new WordDetailsModel(indexModel_, lvwIndex);
    lvwIndex->setModel(detailsModel_);
    lvwIndex->setRootIsDecorated(false);
    lvwIndex->setItemsExpandable(false);
    lvwIndex->setUniformRowHeights(true);
    lvwIndex->setAllColumnsShowFocus(true);
    lvwIndex->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwIndex->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwIndex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwIndex->setContextMenuPolicy(Qt::CustomContextMenu);
    lvwIndex->setColumnWidth(WordDetailsModel::kWordColumn, 160);
    lvwIndex->setColumnWidth(WordDetailsModel::kTopicsColumn, 60);
    // Sorted by word until the user clicks a heading (a header's own default is descending).
    lvwIndex->header()->setSortIndicator(WordDetailsModel::kWordColumn, Qt::AscendingOrder);
    lvwIndex->setSortingEnabled(true);
    lvwIndex->hide();
    wordLayout->addLayout(wordHead);
    wordLayout->addWidget(lbxIndex);
    wordLayout->addWidget(lvwIndex);
    return wordPanel;
}

// Every control carries the name the handlers use, which is how tests and the help find it.
void TfrmMain::NameControls() {
    const std::pair<QObject*, const char*> names[] = {
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
        {lblCodePage, "lblCodePage"},
        {lblCodePageValue, "lblCodePageValue"},
        {lblFileCount, "lblFileCount"},
        {lbxFiles, "lbxFiles"},
        {Splitter1, "Splitter1"},
        {lblCountValue, "lblCountValue"},
        {lblColumns, "lblColumns"},
        {spnColumns, "spnColumns"},
        {lbxIndex, "lbxIndex"},
        {lblIndexView, "lblIndexView"},
        {cboIndexView, "cboIndexView"},
        {lvwIndex, "lvwIndex"},
        {lblWordTopics, "lblWordTopics"},
    };
    for (const auto& [object, name] : names) {
        object->setObjectName(QLatin1String(name));
    }
}

void TfrmMain::ConnectControls() {
    ebxSource->installEventFilter(this);
    // Column widths follow the word view's own width, which changes after the window's.
    lbxIndex->viewport()->installEventFilter(this);
    for (const auto& [box, option] : OptionBoxes()) {
        connect(box, &QCheckBox::toggled, this, &TfrmMain::ckbOptionClick);
    }
    connect(btnParse, &QPushButton::clicked, this, &TfrmMain::actParseExecute);
    connect(btnBuildIndex, &QPushButton::clicked, this, &TfrmMain::OnBuildIndex);
    connect(btnBuildMap, &QPushButton::clicked, this, &TfrmMain::OnBuildMap);
    connect(spnColumns, &QSpinBox::valueChanged, this, &TfrmMain::spnColumnsClick);
    connect(lbxIndex, &QListView::customContextMenuRequested, this, [this](const QPoint& pos) {
        pumIndexPopup();
        pumIndex->exec(lbxIndex->viewport()->mapToGlobal(pos));
    });
    connect(lvwIndex, &QTreeView::customContextMenuRequested, this, [this](const QPoint& pos) {
        pumIndexPopup();
        pumIndex->exec(lvwIndex->viewport()->mapToGlobal(pos));
    });
    connect(lvwIndex, &QTreeView::doubleClicked, this, &TfrmMain::pumShowTopicsClick);
    connect(cboIndexView, &QComboBox::currentIndexChanged, this, &TfrmMain::cboIndexViewChange);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(lbxIndex), static_cast<QAbstractItemView*>(lvwIndex)}) {
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                &TfrmMain::UpdateWordTopics);
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &TfrmMain::UpdateWordTopics);
    }
    connect(indexModel_, &QAbstractItemModel::modelReset, this, &TfrmMain::UpdateWordTopics);
    connect(indexModel_, &QAbstractItemModel::rowsRemoved, this, &TfrmMain::UpdateWordTopics);
    // The parse hands its words over in batches while its dialog is up: the count behind the
    // dialog follows each batch rather than reading 0 until the end.
    connect(indexModel_, &QAbstractItemModel::rowsInserted, this, &TfrmMain::UpdateWordCount);
    connect(lbxFiles, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pumFiles->exec(lbxFiles->viewport()->mapToGlobal(pos)); });
}

void TfrmMain::CreateActions() {
    auto makeAction = [this](const QString& caption, const char* name) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    actOpen = makeAction(QStringLiteral("&Open"), "actOpen");
    actOpen->setShortcut(QKeySequence::Open);
    actOpen->setStatusTip(QStringLiteral(" Open an hhp file"));
    actParse = makeAction(QStringLiteral("Parse HTML"), "actParse");
    actDefaultExclude =
        makeAction(QStringLiteral("Move To Default Exclude List"), "actDefaultExclude");
    actDefaultExclude->setStatusTip(QStringLiteral(" Move to Default Exclude File"));
    actUserExclude =
        makeAction(QStringLiteral("Move To Secondary Exclude  List"), "actUserExclude");
    actEditExcludeFile = makeAction(QStringLiteral("&Edit Exclude List ..."), "actEditExcludeFile");
    actEditExcludeFile->setStatusTip(QStringLiteral(" Edit Exclude File"));
    actHelp = makeAction(QStringLiteral("&Help"), "actHelp");
    // F1 everywhere, and whatever else the desktop binds to help.
    QList<QKeySequence> helpKeys = QKeySequence::keyBindings(QKeySequence::HelpContents);
    if (!helpKeys.contains(QKeySequence(Qt::Key_F1))) {
        helpKeys.prepend(QKeySequence(Qt::Key_F1));
    }
    actHelp->setShortcuts(helpKeys);
    actHelp->setShortcutContext(Qt::WindowShortcut);
    actExit = makeAction(QStringLiteral("E&xlit"), "actExit");
    actExit->setShortcut(QKeySequence::Quit);
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
}

void TfrmMain::CreateMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral(" &File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile->addAction(actOpen);
    mnuReOpen = mnuFile->addMenu(QStringLiteral("&ReOpen"));
    mnuReOpen->setObjectName(QStringLiteral("mnuReOpen"));
    for (int i = 0; i < 10; ++i) {
        QAction* item = mnuReOpen->addAction(QString());
        item->setObjectName(QStringLiteral("mru%1").arg(10 + i));
        item->setVisible(false);
        connect(item, &QAction::triggered, this, &TfrmMain::OnMRU);
        mruItems.push_back(item);
    }
    mnuClose = mnuFile->addAction(QStringLiteral("&Close"));
    mnuClose->setObjectName(QStringLiteral("mnuClose"));
    connect(mnuClose, &QAction::triggered, this, &TfrmMain::mnuCloseClick);
    mnuFile->addSeparator();
    mnuFile->addAction(actExit);

    mnuBuild = menuBar()->addMenu(QStringLiteral("&Build"));
    mnuBuild->setObjectName(QStringLiteral("mnuBuild"));
    mnuBuildAll = mnuBuild->addAction(QStringLiteral("&All"));
    mnuBuildIndex = mnuBuild->addAction(QStringLiteral("&Index"));
    mnuBuildMap = mnuBuild->addAction(QStringLiteral("&Map"));
    mnuBuildAll->setObjectName(QStringLiteral("mnuBuildAll"));
    mnuBuildIndex->setObjectName(QStringLiteral("mnuBuildIndex"));
    mnuBuildMap->setObjectName(QStringLiteral("mnuBuildMap"));
    for (QAction* item : {mnuBuildAll, mnuBuildIndex, mnuBuildMap}) {
        connect(item, &QAction::triggered, this, &TfrmMain::OnBuildIndex);
    }
    mnuBuild->addSeparator();
    mnuCompile = mnuBuild->addAction(QStringLiteral("&Compile Help"));
    mnuCompile->setObjectName(QStringLiteral("mnuCompile"));
    mnuCompile->setStatusTip(QStringLiteral(
        " Compile the project's help with chmcmd; the project's files stay as they are"));
    connect(mnuCompile, &QAction::triggered, this, &TfrmMain::mnuCompileClick);
    connect(mnuBuild, &QMenu::aboutToShow, this, &TfrmMain::mnuBuildClick);

    mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuTools->addAction(actEditExcludeFile);
    mnuCommonWords = mnuTools->addAction(QStringLiteral("Exclude &Common Words ..."));
    mnuCommonWords->setObjectName(QStringLiteral("mnuCommonWords"));
    mnuCommonWords->setStatusTip(QStringLiteral(" Move the words found in most topics to a list"));
    connect(mnuCommonWords, &QAction::triggered, this, &TfrmMain::mnuCommonWordsClick);
    connect(mnuTools, &QMenu::aboutToShow, this,
            [this]() { mnuCommonWords->setEnabled(indexModel_->rowCount() > 0); });
    mnuExport = mnuTools->addAction(QStringLiteral("E&xport Index ..."));
    mnuExport->setObjectName(QStringLiteral("mnuExport"));
    connect(mnuExport, &QAction::triggered, this, &TfrmMain::mnuExportClick);
    mnuAliasMap = mnuTools->addAction(QStringLiteral("A&lias/Map Files ..."));
    mnuAliasMap->setObjectName(QStringLiteral("mnuAliasMap"));
    connect(mnuAliasMap, &QAction::triggered, this, &TfrmMain::mnuAliasMapClick);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelp->addAction(actHelp);
    mnuViewHelp = mnuHelp->addAction(QStringLiteral("&View Compiled Help"));
    mnuViewHelp->setObjectName(QStringLiteral("mnuViewHelp"));
    mnuViewHelp->setStatusTip(QStringLiteral(" Show the open project's compiled help file"));
    connect(mnuViewHelp, &QAction::triggered, this, &TfrmMain::mnuViewHelpClick);
    connect(mnuHelp, &QMenu::aboutToShow, this,
            [this]() { mnuViewHelp->setEnabled(!session_.ProjectFile().empty()); });
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    connect(mnuAbout, &QAction::triggered, this, &TfrmMain::mnuAboutClick);
}

// The word view's and the file list's context menus.
void TfrmMain::CreatePopupMenus() {
    pumIndex = new QMenu(this);
    pumIndex->setObjectName(QStringLiteral("pumIndex"));
    pumIndex->addAction(actDefaultExclude);
    pumIndex->addAction(actUserExclude);
    pumIndex->addSeparator();
    pumShowTopics = pumIndex->addAction(QStringLiteral("Show Topics"));
    pumShowTopics->setObjectName(QStringLiteral("pumShowTopics"));
    pumShowTopics->setStatusTip(QStringLiteral(" List the topics the word is found in"));
    connect(pumShowTopics, &QAction::triggered, this, &TfrmMain::pumShowTopicsClick);
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
        {lblCodePageValue, "Code page|The Windows code page the project's text is written in"},
        {btnParse, "Parse HTML files|Parse out index words from the HTML files"},
        {btnBuildIndex, "Build index file|Build the HHK index file usinging parsed words"},
        {btnBuildMap, "Build alias/map files|Build the alias and map files"},
        {spnColumns, "Set parsed words columns|Set the number of colmuns to view parsed words"},
        {lbxFiles, "|List of topic files in the HHP (HTML Help Project file)"},
        {lbxIndex, "|List of index words parsed from the topic files in the project"},
        {cboIndexView,
         "Word view|Show the parsed words in columns, or as details with their topic counts"},
        {lvwIndex,
         "|Index words with the number of topics each is found in; click a heading to sort"},
    };
    for (const auto& [widget, hint] : hints) {
        SetHint(widget, QString::fromLatin1(hint));
    }
    // The read-only box beside the spinner is part of the spin box here; its hint joins it.
    spnColumns->setToolTip(QStringLiteral("Parsed words columns"));
}

}  // namespace tarnwick
