#include "ui/dialog_parse.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "support/message.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"
#include "ui/word_view_model.h"

namespace tarnwick {

TdlgParse::TdlgParse(QWidget* owner)
    : TRunDialog(owner, QStringLiteral("dlgParse"), QStringLiteral("Tarnwick - Parsing HTML")) {
    // Long topic paths must not widen the dialog.
    lblMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    resize(FittedSize(QSize(416, 158), *this));
    lblCount->setText(QString::fromStdString(ParseCountText(0, 0)));
}

TdlgParse::~TdlgParse() = default;

void TdlgParse::Prepare(const TdlgParse_InitData& input, WordViewModel* indexList) {
    input_ = input;
    indexList_ = indexList;
    hasInput_ = !input.ProjectFile.empty() || input.WordList || input.Files || indexList;
    CentreOverOwner();
    const int total = input.Files ? static_cast<int>(input.Files->size()) : 0;
    lblCount->setText(QString::fromStdString(ParseCountText(0, total)));
}

void TdlgParse::FormActivate() {
    if (!hasInput_ || Running()) {
        return;
    }
    ProgBar->setMaximum(input_.Files ? std::max<int>(1, static_cast<int>(input_.Files->size()))
                                     : 1);
    BeginRun();
    sinceRefresh_.start();
    sincePump_.start();
    QString caption = QStringLiteral("OK");
    try {
        result_ = RunParse(input_, *this);
        Refresh();
        if (result_.End == ParseEnd::NoFolder) {
            lblMessage->setText(QStringLiteral("The project folder does not exist."));
        } else {
            caption = QString::fromStdString(result_.ResultCaption);
        }
    } catch (const std::bad_alloc&) {
        Refresh();
        error_ = "Out of memory";
        lblMessage->setText(QString::fromStdString(error_));
    } catch (const std::exception& e) {
        Refresh();
        error_ = e.what();
        lblMessage->setText(ToQt(error_, TCodePage::For(input_.Rules.CodePage)));
    }
    EndRun(caption);
}

void TdlgParse::PumpEvents() {
    RefreshIfDue();
    if (sincePump_.elapsed() >= kPumpMs) {
        sincePump_.restart();
        QCoreApplication::processEvents();
    }
}

void TdlgParse::PumpWhileWaiting() {
    // The run waits for a page that a worker is still reading: keep the timer and the button
    // alive meanwhile.
    RefreshIfDue();
    sincePump_.restart();
    QCoreApplication::processEvents();
}

void TdlgParse::ReportError(std::string_view text) {
    Mesg().Show(text, kMbError, this);
}

void TdlgParse::ShowMessage(std::string_view text) {
    pendingMessage_ = text;
    messagePending_ = true;
}

void TdlgParse::ShowCount(std::string_view countText, int position) {
    pendingCount_ = countText;
    pendingPosition_ = position;
    emit Progressed(position);
}

void TdlgParse::NewWords(const std::vector<std::string_view>& words) {
    if (indexList_) {
        pendingWords_.insert(pendingWords_.end(), words.begin(), words.end());
    }
}

void TdlgParse::WordsSorted() {
    Refresh();
    if (!indexList_) {
        return;
    }
    // The view holds the word list's words, each appended when the list first took it, and the
    // list has just been sorted with the same comparison: taking its order spares sorting
    // hundreds of thousands of words a second time while the window waits. The view takes the
    // entries too, which know the topics of each word now that every page is merged.
    const TWordList* list = input_.WordList;
    if (list && list->size() == static_cast<size_t>(indexList_->rowCount())) {
        indexList_->AssignEntries(*list);
    } else {
        indexList_->Sort();
    }
}

void TdlgParse::RefreshIfDue() {
    if (sinceRefresh_.elapsed() >= kRefreshMs) {
        Refresh();
    }
}

void TdlgParse::Refresh() {
    sinceRefresh_.restart();
    if (messagePending_) {
        // Topic file names, in the project's code page.
        lblMessage->setText(ToQt(pendingMessage_, TCodePage::For(input_.Rules.CodePage)));
        messagePending_ = false;
    }
    if (pendingPosition_ >= 0) {
        lblCount->setText(QString::fromStdString(pendingCount_));
        ProgBar->setValue(std::min(pendingPosition_, ProgBar->maximum()));
        pendingPosition_ = -1;
    }
    if (indexList_ && !pendingWords_.empty()) {
        indexList_->AppendOwned(std::move(pendingWords_));
        pendingWords_.clear();
    }
}

}  // namespace tarnwick
