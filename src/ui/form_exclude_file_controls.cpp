// The exclude-list editor's controls, actions and hints, built once by the constructor. Controls
// are created in the order Tab visits them.
#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleOptionComboBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

#include "ui/dialog_resources.h"
#include "ui/elided_text.h"
#include "ui/form_exclude_file.h"
#include "ui/hints.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace tarnwick {

namespace {

constexpr int kPanelWidth = 184;
// The widest list name the panel grows for, in average characters; a longer name is shortened in
// the middle, where "Project_Terms_2024_old.txt" keeps both its start and its extension.
constexpr int kWidestListName = 40;

// A word as the user may type it: text of the editor's code page without spaces or control
// characters. Anything else is refused at the box, typed or pasted, so no word is silently
// changed.
class WordValidator : public QValidator {
public:
    WordValidator(const TCodePage& codePage, QObject* parent)
        : QValidator(parent), codePage_(codePage) {}
    State validate(QString& input, int&) const override {
        for (const QChar c : input) {
            if (c.unicode() <= 0x20) {
                return Invalid;
            }
        }
        return FromQt(input, codePage_) ? Acceptable : Invalid;
    }

private:
    const TCodePage& codePage_;
};

}  // namespace

void TfrmEdit::CreateControls() {
    lbxWords = new QListWidget(this);
    lbxWords->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lbxWords->setUniformItemSizes(true);
    lbxWords->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QWidget* panel = CreatePanel();

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(lbxWords, 1);
    outer->addWidget(panel);

    // Enter belongs to the boxes' own handlers; no button is pressed by it behind their back.
    for (QPushButton* button :
         {btnNew, btnSave, btnDeleteFile, btnCopy, btnAdd, btnDelWord, btnHelp, btnClose}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    CreateActions();
    NameControls();
    ConnectControls();
}

// The control panel on the right.
QWidget* TfrmEdit::CreatePanel() {
    auto* panel = new QWidget(this);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 4);
    panelLayout->addWidget(CreateListGroup(panel));
    panelLayout->addWidget(CreateWordGroup(panel));
    lblCountValue = new QLabel(QStringLiteral("0"), panel);
    panelLayout->addWidget(lblCountValue);
    panelLayout->addLayout(CreateRemoveRow(panel));
    panelLayout->addStretch(1);
    panelLayout->addLayout(CreateBottomRow(panel));
    // Narrow enough to leave the words most of the window at its smallest.
    for (QPushButton* button :
         {btnNew, btnSave, btnDeleteFile, btnCopy, btnAdd, btnHelp, btnClose}) {
        button->setMinimumWidth(0);
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    ebxWord->setMinimumWidth(0);
    ebxWord->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    panel_ = panel;
    FitListChoice();
    return panel;
}

void TfrmEdit::FitListChoice() {
    const QFontMetrics metrics = cboFiles->fontMetrics();
    int longest = 0;
    for (int i = 0; i < cboFiles->count(); ++i) {
        longest = std::max(longest, metrics.horizontalAdvance(cboFiles->itemText(i)));
    }
    const int widest = std::min(longest, metrics.averageCharWidth() * kWidestListName);
    QStyleOptionComboBox option;
    option.initFrom(cboFiles);
    const QSize field(widest + 4, metrics.height());
    cboFiles->setMinimumWidth(
        cboFiles->style()->sizeFromContents(QStyle::CT_ComboBox, &option, field, cboFiles).width());
    // "Remove Selected" is the longest caption: with larger fonts the panel grows with it.
    // The group's size, cached in the panel's layout, is taken afresh.
    gbxFile->layout()->invalidate();
    gbxFile->updateGeometry();
    panel_->layout()->invalidate();
    panel_->setFixedWidth(std::max(kPanelWidth, panel_->minimumSizeHint().width()));
    // The popup shows names whole where the screen allows.
    cboFiles->view()->setMinimumWidth(
        std::min(longest + metrics.averageCharWidth() * 4, AvailableScreenArea().Width));
    if (layout()) {
        setMinimumWidth(std::max(kMinWidth, layout()->totalMinimumSize().width()));
    }
    static_cast<ElidingComboBox*>(cboFiles)->FitToolTip();
}

// The list choice, or the name box in its place, with New, Save, Delete and Copy.
QGroupBox* TfrmEdit::CreateListGroup(QWidget* panel) {
    gbxFile = new QGroupBox(QStringLiteral("List"), panel);
    cboFiles = new ElidingComboBox(gbxFile);
    cboFiles->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboFiles->setMinimumContentsLength(6);
    ebxNew = new QLineEdit(gbxFile);
    ebxNew->hide();
    btnNew = new QPushButton(QStringLiteral("New"), gbxFile);
    btnSave = new QPushButton(QStringLiteral("Save"), gbxFile);
    btnDeleteFile = new QPushButton(QStringLiteral("Delete"), gbxFile);
    btnCopy = new QPushButton(DialogIcon(DialogPicture::Copy), QStringLiteral("Copy"), gbxFile);
    auto* fileLayout = new QGridLayout(gbxFile);
    // The name box takes the list choice's place while a new list is named.
    fileLayout->addWidget(cboFiles, 0, 0, 1, 2);
    fileLayout->addWidget(ebxNew, 0, 0, 1, 2);
    fileLayout->addWidget(btnNew, 1, 0);
    fileLayout->addWidget(btnSave, 1, 1);
    fileLayout->addWidget(btnDeleteFile, 2, 0);
    fileLayout->addWidget(btnCopy, 2, 1);
    return gbxFile;
}

// The word to add, and Add.
QGroupBox* TfrmEdit::CreateWordGroup(QWidget* panel) {
    gbxWords = new QGroupBox(QStringLiteral("Add word to list"), panel);
    ebxWord = new QLineEdit(gbxWords);
    ebxWord->setValidator(new WordValidator(collator_.CodePage(), ebxWord));
    btnAdd = new QPushButton(QStringLiteral("Add"), gbxWords);
    auto* wordLayout = new QGridLayout(gbxWords);
    wordLayout->addWidget(ebxWord, 0, 0, 1, 2);
    wordLayout->addWidget(btnAdd, 1, 1);
    wordLayout->setColumnStretch(0, 1);
    wordLayout->setColumnStretch(1, 1);
    return gbxWords;
}

// "Remove Selected" and the restore button.
QHBoxLayout* TfrmEdit::CreateRemoveRow(QWidget* panel) {
    auto* removeRow = new QHBoxLayout;
    btnDelWord = new QPushButton(QStringLiteral("Remove Selected"), panel);
    btnUndo = new QToolButton(panel);
    btnUndo->setToolButtonStyle(Qt::ToolButtonIconOnly);
    removeRow->addWidget(btnDelWord, 1);
    removeRow->addWidget(btnUndo);
    return removeRow;
}

// The columns spinner sits on Help and Close's line, which ends 4 pixels above the bottom.
QHBoxLayout* TfrmEdit::CreateBottomRow(QWidget* panel) {
    auto* bottomRow = new QHBoxLayout;
    spnColumns = new QSpinBox(panel);
    spnColumns->setRange(kMinColumns, kMaxColumns);
    spnColumns->setValue(1);
    btnHelp = new QPushButton(QStringLiteral("Help"), panel);
    btnClose = new QPushButton(QStringLiteral("Close"), panel);
    bottomRow->addWidget(spnColumns, 0, Qt::AlignBottom);
    bottomRow->addWidget(btnHelp, 1, Qt::AlignBottom);
    bottomRow->addWidget(btnClose, 1, Qt::AlignBottom);
    return bottomRow;
}

// Window-wide actions: F1 help, Delete removes the selected words, Ctrl+Z restores one.
void TfrmEdit::CreateActions() {
    auto makeAction = [this](const QString& caption, const char* name, const QKeySequence& key) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        if (!key.isEmpty()) {
            action->setShortcut(key);
            action->setShortcutContext(Qt::WindowShortcut);
        }
        addAction(action);
        return action;
    };
    actAddWord = makeAction(QStringLiteral("Add"), "actAddWord", {});
    actDelWord =
        makeAction(QStringLiteral("Remove Selected"), "actDelWord", QKeySequence(Qt::Key_Delete));
    actUnRemove =
        makeAction(QStringLiteral("Restore"), "actUnRemove", QKeySequence(Qt::CTRL | Qt::Key_Z));
    actUnRemove->setIcon(DialogIcon(DialogPicture::Undo));
    actHelp = makeAction(QStringLiteral("Help"), "actHelp", QKeySequence(Qt::Key_F1));
    btnUndo->setDefaultAction(actUnRemove);
}

void TfrmEdit::NameControls() {
    const std::pair<QObject*, const char*> names[] = {
        {lbxWords, "lbxWords"},
        {gbxFile, "gbxFile"},
        {cboFiles, "cboFiles"},
        {ebxNew, "ebxNew"},
        {btnNew, "btnNew"},
        {btnSave, "btnSave"},
        {btnCopy, "btnCopy"},
        {gbxWords, "gbxWords"},
        {ebxWord, "ebxWord"},
        {btnAdd, "btnAdd"},
        {btnUndo, "btnUndo"},
        {lblCountValue, "lblCountValue"},
        {btnHelp, "btnHelp"},
        {btnClose, "btnClose"},
        {spnColumns, "spnColumns"},
        {btnDelWord, "btnDelWord"},
        {btnDeleteFile, "btnDeleteFile"},
    };
    for (const auto& [object, name] : names) {
        object->setObjectName(QLatin1String(name));
    }
}

void TfrmEdit::ConnectControls() {
    connect(cboFiles, &QComboBox::activated, this, &TfrmEdit::cboFilesChange);
    connect(btnNew, &QPushButton::clicked, this, &TfrmEdit::btnNewClick);
    connect(btnCopy, &QPushButton::clicked, this, &TfrmEdit::btnCopyClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmEdit::btnSaveClick);
    connect(btnDeleteFile, &QPushButton::clicked, this, &TfrmEdit::btnDeleteFileClick);
    connect(btnAdd, &QPushButton::clicked, actAddWord, &QAction::trigger);
    connect(btnDelWord, &QPushButton::clicked, actDelWord, &QAction::trigger);
    connect(btnHelp, &QPushButton::clicked, actHelp, &QAction::trigger);
    connect(btnClose, &QPushButton::clicked, this, &TfrmEdit::btnCloseClick);
    connect(actAddWord, &QAction::triggered, this, &TfrmEdit::actAddWordExecute);
    connect(actDelWord, &QAction::triggered, this, &TfrmEdit::actDelWordExecute);
    connect(actUnRemove, &QAction::triggered, this, &TfrmEdit::actUnRemoveExecute);
    connect(actHelp, &QAction::triggered, this, &TfrmEdit::actHelpExecute);
    connect(spnColumns, &QSpinBox::valueChanged, this, &TfrmEdit::spnColumnsClick);

    ebxNew->installEventFilter(this);
    ebxWord->installEventFilter(this);
    // Column widths follow the view's own width.
    lbxWords->viewport()->installEventFilter(this);
}

void TfrmEdit::SetHints() {
    const std::pair<QWidget*, const char*> hints[] = {
        {cboFiles, "Current list|Exclude list currently being edited"},
        {ebxNew, "New list name|New list name"},
        {btnNew, "Create list|Create a new exclude list file"},
        {btnSave, "Save list|Save exclude list"},
        {btnDeleteFile, "Delete list|Delete the current exclude list file"},
        {btnCopy, "Copy list|Copy current list to a new exclude list"},
        {ebxWord, "New word|New word to add to exclude list"},
        {btnAdd, "Add word|Add the new word to the exclude list"},
        {btnDelWord, "Remove selected words|Remove the selected words from the exclude list"},
        {btnUndo, "Restore|Restore deleted words"},
        {spnColumns, "Columns|Increase / decrease the number of list columns"},
        {btnHelp, "Get help|Get help for this dialog"},
        {btnClose, "Close dialog|Close this dialog"},
    };
    for (const auto& [widget, hint] : hints) {
        SetHint(widget, QString::fromLatin1(hint));
    }
    // The restore button shows its action's texts.
    actUnRemove->setToolTip(btnUndo->toolTip());
    actUnRemove->setStatusTip(btnUndo->statusTip());
}

}  // namespace tarnwick
