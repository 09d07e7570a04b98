#include "ui/dialog_alias_map.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>

#include "app/program_folders.h"
#include "app/project_session.h"
#include "store/config.h"
#include "store/kdf.h"
#include "support/message.h"
#include "support/word_compare.h"
#include "ui/help.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace tarnwick {

namespace {

constexpr int kHelpContextAliasMap = 1;
constexpr int kFormWidth = 313;
constexpr int kFormHeight = 116;
// Nine decimal digits always fit the signed 32-bit ID.
constexpr int kInitialIdDigits = 9;

}  // namespace

TdlgAliasMap::TdlgAliasMap(TProjectSession& session, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), session_(session) {
    setObjectName(QStringLiteral("dlgAliasMap"));
    setWindowTitle(QStringLiteral("Alias / Map Files"));
    setModal(true);

    gbxMapFile = new QGroupBox(QStringLiteral("Map Files"), this);
    rbtnMapNone = new QRadioButton(QStringLiteral("No Map files"), gbxMapFile);
    rbtnMapContext = new QRadioButton(QStringLiteral("Alias/Map files"), gbxMapFile);
    rbtnMapTopic = new QRadioButton(QStringLiteral("Topic header file"), gbxMapFile);
    lblInitialId = new QLabel(QStringLiteral("Initial ID:"), gbxMapFile);
    ebxInitialId = new QLineEdit(gbxMapFile);
    ebxInitialId->setMaxLength(kInitialIdDigits);
    // Digits only, typed or pasted; "\d" would let other scripts' digits in.
    ebxInitialId->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), ebxInitialId));
    lblWindow = new QLabel(QStringLiteral("Window:"), gbxMapFile);
    cboWindow = new QComboBox(gbxMapFile);
    cboWindow->setEditable(false);
    cboWindow->setMinimumContentsLength(10);
    lblInitialId->setBuddy(ebxInitialId);
    lblWindow->setBuddy(cboWindow);

    auto* grid = new QGridLayout(gbxMapFile);
    grid->addWidget(rbtnMapNone, 0, 0);
    grid->addWidget(rbtnMapContext, 1, 0);
    grid->addWidget(rbtnMapTopic, 2, 0);
    grid->addWidget(lblInitialId, 0, 1);
    grid->addWidget(ebxInitialId, 0, 2);
    grid->addWidget(lblWindow, 1, 1);
    grid->addWidget(cboWindow, 1, 2);
    grid->setColumnStretch(2, 1);
    grid->setColumnMinimumWidth(1, 0);
    grid->setHorizontalSpacing(10);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnHelp = new QPushButton(QStringLiteral("Help"), this);
    btnOk->setDefault(true);
    btnCancel->setAutoDefault(false);
    btnHelp->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnHelp);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(gbxMapFile);
    outer->addLayout(buttons);

    const std::pair<QObject*, const char*> names[] = {
        {gbxMapFile, "gbxMapFile"},
        {rbtnMapNone, "rbtnMapNone"},
        {rbtnMapContext, "rbtnMapContext"},
        {rbtnMapTopic, "rbtnMapTopic"},
        {lblInitialId, "lblInitialId"},
        {ebxInitialId, "ebxInitialId"},
        {lblWindow, "lblWindow"},
        {cboWindow, "cboWindow"},
        {btnOk, "btnOk"},
        {btnCancel, "btnCancel"},
        {btnHelp, "btnHelp"},
    };
    for (const auto& [object, name] : names) {
        object->setObjectName(QLatin1String(name));
    }

    for (QRadioButton* radio : {rbtnMapNone, rbtnMapContext, rbtnMapTopic}) {
        connect(radio, &QRadioButton::toggled, this, &TdlgAliasMap::rbtnMapClick);
    }
    connect(btnOk, &QPushButton::clicked, this, &TdlgAliasMap::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TdlgAliasMap::btnCancelClick);
    connect(btnHelp, &QPushButton::clicked, this, &TdlgAliasMap::btnHelpClick);

    FormCreate();
}

void TdlgAliasMap::FormCreate() {
    // The size is fixed: the form's own, or what the fonts need when that is more.
    const QSize hint = sizeHint();
    setFixedSize(std::max(kFormWidth, hint.width()), std::max(kFormHeight, hint.height()));
    const t_Placement screen = AvailableScreenArea();
    t_Placement placement = CentredPlacement(size(), *this);
    bool stored = false;
    try {
        CConfig config(DataFolder(), Mesg());
        stored = config.GetPlacement(kCfgAliasMapPlacement, placement, screen.Width, screen.Height);
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    // Only the stored position is applied. Placements are kept as the window's inner geometry,
    // as every window of the program keeps them.
    placement.Width = width();
    placement.Height = height();
    ApplyPlacement(*this, placement, size(), !stored);
}

void TdlgAliasMap::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!activated_) {
        FormActivate();
    }
}

void TdlgAliasMap::FormActivate() {
    activated_ = true;
    switch (session_.MapMode) {
        case MapMode::None:
            rbtnMapNone->setChecked(true);
            break;
        case MapMode::AliasFiles:
            rbtnMapContext->setChecked(true);
            break;
        case MapMode::TopicHeader:
            rbtnMapTopic->setChecked(true);
            break;
    }
    rbtnMapClick();

    // Window names are the project's text, shown and compared in its code page.
    const WordCollator& names = WordCollator::For(session_.TextRules().CodePage);
    cboWindow->clear();
    cboWindow->addItem(QString(), QByteArray());
    for (const std::string& name : session_.Project().WindowNames) {
        cboWindow->addItem(ToQt(name, names.CodePage()),
                           QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    }
    // A name the project no longer has shows as no choice rather than as another window.
    int chosen = -1;
    for (int i = 1; i < cboWindow->count(); ++i) {
        if (names.Equal(FromBytes(cboWindow->itemData(i).toByteArray()), session_.WindowName)) {
            chosen = i;
            break;
        }
    }
    cboWindow->setCurrentIndex(chosen);

    // A stored ID longer than the box takes is shown whole, never cut into another number.
    const QString id = QString::number(session_.InitialId);
    ebxInitialId->setMaxLength(std::max(kInitialIdDigits, static_cast<int>(id.size())));
    ebxInitialId->setText(id);
    btnOk->setFocus();
}

void TdlgAliasMap::rbtnMapClick() {
    const bool window = !rbtnMapNone->isChecked();
    lblWindow->setEnabled(window);
    cboWindow->setEnabled(window);
    const bool initialId = rbtnMapContext->isChecked();
    lblInitialId->setEnabled(initialId);
    ebxInitialId->setEnabled(initialId);
}

void TdlgAliasMap::btnOkClick() {
    if (rbtnMapNone->isChecked()) {
        session_.MapMode = MapMode::None;
    } else if (rbtnMapContext->isChecked()) {
        session_.MapMode = MapMode::AliasFiles;
    } else if (rbtnMapTopic->isChecked()) {
        session_.MapMode = MapMode::TopicHeader;
    }
    session_.WindowName = cboWindow->currentIndex() < 0
                              ? std::string()
                              : FromBytes(cboWindow->currentData().toByteArray());
    session_.InitialId = 0;
    const QByteArray digits = ebxInitialId->text().toLatin1();
    std::int32_t id = 0;
    const auto [end, error] =
        std::from_chars(digits.constData(), digits.constData() + digits.size(), id);
    if (!digits.isEmpty() && error == std::errc() && end == digits.constData() + digits.size()) {
        session_.InitialId = id;
    }
    done(QDialog::Accepted);
}

void TdlgAliasMap::btnCancelClick() {
    done(QDialog::Rejected);
}

void TdlgAliasMap::btnHelpClick() {
    ShowHelpContext(this, kHelpContextAliasMap);
}

void TdlgAliasMap::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TdlgAliasMap::FormClose() {
    StoreWindowPlacement(kCfgAliasMapPlacement, *this);
}

}  // namespace tarnwick
