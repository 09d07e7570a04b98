#include "ui/dialog_word_topics.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/os.h"
#include "support/message.h"
#include "ui/message_text.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace tarnwick {

namespace {

// A plain box with an OK button and no icon, as the about box reports its link.
constexpr unsigned kMbOk = 0x00;

}  // namespace

TdlgWordTopics::TdlgWordTopics(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("dlgWordTopics"));
    setWindowTitle(QStringLiteral("Topics"));
    auto* layout = new QVBoxLayout(this);
    lbxTopics = new QListWidget(this);
    lbxTopics->setObjectName(QStringLiteral("lbxTopics"));
    lbxTopics->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(lbxTopics);
    auto* buttons = new QHBoxLayout;
    btnOpen = new QPushButton(QStringLiteral("Open"), this);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnOpen->setDefault(true);
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    buttons->addStretch();
    buttons->addWidget(btnOpen);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);
    connect(btnOpen, &QPushButton::clicked, this, &TdlgWordTopics::btnOpenClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lbxTopics, &QListWidget::itemActivated, this, &TdlgWordTopics::btnOpenClick);
    resize(FittedSize(QSize(420, 300), *this));
}

void TdlgWordTopics::Prepare(const QString& word, const std::vector<std::string>& topics,
                             const TCodePage& codePage, const std::string& projectFolder) {
    setWindowTitle(QStringLiteral("Topics of \"%1\"").arg(word));
    topics_ = topics;
    projectFolder_ = projectFolder;
    lbxTopics->clear();
    for (const std::string& topic : topics_) {
        lbxTopics->addItem(ToQt(topic, codePage));
    }
    if (!topics_.empty()) {
        lbxTopics->setCurrentRow(0);
    }
    btnOpen->setEnabled(!topics_.empty());
}

std::string TdlgWordTopics::PagePath(const std::string& entry) const {
    return ResolvePathIgnoringCase(projectFolder_ + "/" + ToOpenPath(entry));
}

void TdlgWordTopics::btnOpenClick() {
    const int row = lbxTopics->currentRow();
    if (row < 0 || row >= static_cast<int>(topics_.size())) {
        return;
    }
    const std::string& entry = topics_[static_cast<size_t>(row)];
    const std::string path = PagePath(entry);
    if (path.empty()) {
        Mesg().Show("The file \"" + MessageName(projectFolder_ + "/" + ToOpenPath(entry)) +
                        "\" does not exist.",
                    kMbInformation);
        return;
    }
    const QUrl url = QUrl::fromLocalFile(PathToQt(path));
    const bool opened = UrlOpener ? UrlOpener(url) : QDesktopServices::openUrl(url);
    if (!opened) {
        Mesg().ShowCaptioned("Unable to open browser.", "Error", kMbOk, nullptr);
    }
}

}  // namespace tarnwick
