#include "ui/dialog_export.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/program_folders.h"
#include "output/output_names.h"
#include "output/word_list_export.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "store/config.h"
#include "store/kdf.h"
#include "support/message.h"
#include "support/utils.h"
#include "ui/message_text.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace tarnwick {

namespace {

constexpr int kFormWidth = 392;
constexpr int kFormHeight = 141;
constexpr std::string_view kProposedName = "index.txt";

// The hourglass for as long as the export writes, whatever way the writing ends.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

TdlgExport::TdlgExport(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("dlgExport"));
    setWindowTitle(QStringLiteral("Export List"));
    setModal(true);

    gbxExport = new QGroupBox(this);
    lblExportFile = new QLabel(QStringLiteral("Export File:"), gbxExport);
    ebxExportFile = new QLineEdit(gbxExport);
    btnExportFile = new QToolButton(gbxExport);
    btnExportFile->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btnExportFile->setToolTip(QStringLiteral("Browse"));
    btnExport = new QPushButton(QStringLiteral("Export"), gbxExport);
    lblExportFile->setBuddy(ebxExportFile);
    auto* grid = new QGridLayout(gbxExport);
    grid->addWidget(lblExportFile, 0, 0, 1, 2);
    grid->addWidget(ebxExportFile, 1, 0);
    grid->addWidget(btnExportFile, 1, 1);
    grid->addWidget(btnExport, 2, 0, 1, 2, Qt::AlignRight);
    grid->setColumnStretch(0, 1);

    lblMessage = new QLabel(this);
    lblMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblMessage, 1);
    bottom->addWidget(btnClose);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->addWidget(gbxExport);
    outer->addStretch(1);
    outer->addLayout(bottom);

    // Enter exports, as the focused Export button does; Close is never pressed by it.
    btnExport->setDefault(true);
    btnClose->setAutoDefault(false);

    const std::pair<QObject*, const char*> names[] = {
        {gbxExport, "gbxExport"},         {lblExportFile, "lblExportFile"},
        {ebxExportFile, "ebxExportFile"}, {btnExportFile, "btnExportFile"},
        {btnExport, "btnExport"},         {lblMessage, "lblMessage"},
        {btnClose, "btnClose"},
    };
    for (const auto& [object, name] : names) {
        object->setObjectName(QLatin1String(name));
    }

    connect(btnExport, &QPushButton::clicked, this, &TdlgExport::btnExportClick);
    connect(btnExportFile, &QToolButton::clicked, this, &TdlgExport::btnExportFileClick);
    connect(ebxExportFile, &QLineEdit::textChanged, this, &TdlgExport::ebxExportFileChange);
    connect(btnClose, &QPushButton::clicked, this, &TdlgExport::btnCloseClick);

    // Centred at the form size (or what the fonts need), then the stored placement over it.
    const QSize hint = sizeHint();
    formWidth_ = std::max(kFormWidth, hint.width());
    const int height = std::max(kFormHeight, hint.height());
    const t_Placement screen = AvailableScreenArea();
    t_Placement placement = CentredPlacement(QSize(formWidth_, height), *this);
    bool stored = false;
    try {
        CConfig config(DataFolder(), Mesg());
        stored = config.GetPlacement(kCfgExportPlacement, placement, screen.Width, screen.Height);
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError);
    }
    // The stored height is not applied: the dialog keeps the height its controls need.
    placement.Height = height;
    ApplyPlacement(*this, placement, QSize(formWidth_, height), !stored);
}

void TdlgExport::Prepare(const std::vector<std::string>* words, const std::string& projectPath) {
    words_ = words;
    const size_t slash = projectPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : projectPath.substr(0, slash + 1);
    ebxExportFile->setText(PathToQt(folder + std::string(kProposedName)));
    ebxExportFile->setCursorPosition(static_cast<int>(ebxExportFile->text().size()));
}

std::string TdlgExport::ExportFile() const {
    return PathFromQt(ebxExportFile->text());
}

void TdlgExport::btnExportClick() {
    if (!words_ || words_->empty()) {
        return;
    }
    const std::string path = ForceTxtExtension(ExportFile());
    ebxExportFile->setText(PathToQt(path));
    if (FileNamePart(path) == ".txt") {
        // An empty box, or one naming a folder, would give a hidden ".txt" file nobody asked for.
        Mesg().Show(EFCreateError(MessageName(path), "No file name is given.").what(), kMbError,
                    this);
        return;
    }
    WaitCursor hourglass;
    try {
        ExportWordList(path, *words_, *FileSystem);
        btnExport->setEnabled(false);
        // Empty entries are not written, so they are not counted either.
        const auto written = std::count_if(words_->begin(), words_->end(),
                                           [](const std::string& word) { return !word.empty(); });
        lblMessage->setText(
            QStringLiteral("%1 %2 written to %3.")
                .arg(QString::fromStdString(GroupDigits(std::to_string(written))),
                     written == 1 ? QStringLiteral("word") : QStringLiteral("words"),
                     PathToQt(std::string(FileNamePart(path)))));
    } catch (const std::exception& e) {
        Mesg().Show(MessageName(e.what()), kMbError, this);
    }
}

void TdlgExport::ebxExportFileChange() {
    btnExport->setEnabled(true);
    lblMessage->clear();
}

void TdlgExport::btnExportFileClick() {
    // A save dialog: the author usually names a new list; it asks before an existing file is
    // replaced.
    const QString chosen = FileChooser ? FileChooser(ebxExportFile->text())
                                       : QFileDialog::getSaveFileName(
                                             this, QStringLiteral("Save As"), ebxExportFile->text(),
                                             QStringLiteral("Text files (*.txt)"));
    if (chosen.isEmpty()) {
        return;
    }
    if (PathFromQt(chosen) != ExportFile()) {
        ebxExportFile->setText(chosen);
        btnExport->setEnabled(true);
    }
}

void TdlgExport::btnCloseClick() {
    done(QDialog::Accepted);
}

void TdlgExport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!activated_) {
        FormActivate();
    }
}

void TdlgExport::FormActivate() {
    btnExport->setFocus();
    activated_ = true;
    // From now on the height stays and the width never goes below the form width.
    setFixedHeight(height());
    setMinimumWidth(formWidth_);
}

void TdlgExport::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (activated_) {
        // The start of a long path is the part that tells where the file goes.
        ebxExportFile->setCursorPosition(0);
    }
}

void TdlgExport::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TdlgExport::FormClose() {
    StoreWindowPlacement(kCfgExportPlacement, *this);
}

}  // namespace tarnwick
