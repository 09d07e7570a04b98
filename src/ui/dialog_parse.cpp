#include "ui/dialog_parse.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/qt_text.h"
#include "ui/word_view_model.h"

namespace tarnwick {

TdlgParse::TdlgParse(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("dlgParse"));
    setWindowTitle(QStringLiteral("Tarnwick - Parsing HTML"));
    setModal(true);

    lblCount = new QLabel(this);
    lblTime = new QLabel(this);
    lblMessage = new QLabel(this);
    ProgBar = new QProgressBar(this);
    btnCancelDone = new QPushButton(QStringLiteral("Cancel"), this);
    Timer = new QTimer(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblTime->setObjectName(QStringLiteral("lblTime"));
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    ProgBar->setObjectName(QStringLiteral("ProgBar"));
    btnCancelDone->setObjectName(QStringLiteral("btnCancelDone"));
    for (QLabel* label : {lblCount, lblTime, lblMessage}) {
        label->setAlignment(Qt::AlignCenter);
    }
    // Long topic paths must not widen the dialog.
    lblMessage->setMinimumWidth(380);
    lblMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ProgBar->setTextVisible(false);
    ProgBar->setValue(0);
    Timer->setInterval(1000);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCount);
    layout->addWidget(lblTime);
    layout->addWidget(lblMessage);
    layout->addWidget(ProgBar);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(btnCancelDone);
    buttonRow->addStretch();
    layout->addLayout(buttonRow);
    resize(416, 158);

    lblCount->setText(ToQt(ParseCountText(0, 0)));

    connect(btnCancelDone, &QPushButton::clicked, this, &TdlgParse::btnCancelDoneClick);
    connect(Timer, &QTimer::timeout, this, &TdlgParse::OnTimer);
}

TdlgParse::~TdlgParse() = default;

void TdlgParse::Prepare(const TdlgParse_InitData& input, WordViewModel* indexList) {
    input_ = input;
    indexList_ = indexList;
    hasInput_ = !input.ProjectFile.empty() || input.WordList || input.Files || indexList;
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->frameGeometry();
        move(frame.left() + (frame.width() - width()) / 2,
             frame.top() + (frame.height() - height()) / 2);
    }
    const int total = input.Files ? static_cast<int>(input.Files->size()) : 0;
    lblCount->setText(ToQt(ParseCountText(0, total)));
}

void TdlgParse::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The run starts once per showing, after the dialog is on the screen.
    if (!started_) {
        started_ = true;
        QTimer::singleShot(0, this, &TdlgParse::FormActivate);
    }
}

void TdlgParse::FormActivate() {
    if (!hasInput_ || running_) {
        return;
    }
    ProgBar->setMaximum(input_.Files ? std::max<int>(1, static_cast<int>(input_.Files->size()))
                                     : 1);
    Timer->start();
    elapsedSeconds_ = 0;
    OnTimer();
    running_ = true;
    sinceRefresh_.start();
    sincePump_.start();
    QString caption = QStringLiteral("OK");
    try {
        result_ = RunParse(input_, *this);
        Refresh();
        if (result_.End == ParseEnd::NoFolder) {
            lblMessage->setText(QStringLiteral("The project folder does not exist."));
        } else {
            caption = ToQt(result_.ResultCaption);
        }
    } catch (const std::bad_alloc&) {
        Refresh();
        error_ = "Out of memory";
        lblMessage->setText(ToQt(error_));
    } catch (const std::exception& e) {
        Refresh();
        error_ = e.what();
        lblMessage->setText(ToQt(error_));
    }
    Timer->stop();
    running_ = false;
    btnCancelDone->setText(caption);
    emit RunFinished();
}

void TdlgParse::btnCancelDoneClick() {
    if (running_) {
        cancelRequested_ = true;
        return;
    }
    done(1);
}

void TdlgParse::OnTimer() {
    ++elapsedSeconds_;
    lblTime->setText(ToQt(LapsedTimeText(elapsedSeconds_)));
}

void TdlgParse::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TdlgParse::reject() {
    // Escape must not end a running parse behind the user's back either.
    if (!running_) {
        QDialog::reject();
    }
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
    if (indexList_) {
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
        lblMessage->setText(ToQt(pendingMessage_));
        messagePending_ = false;
    }
    if (pendingPosition_ >= 0) {
        lblCount->setText(ToQt(pendingCount_));
        ProgBar->setValue(std::min(pendingPosition_, ProgBar->maximum()));
        pendingPosition_ = -1;
    }
    if (indexList_ && !pendingWords_.empty()) {
        indexList_->AppendOwned(std::move(pendingWords_));
        pendingWords_.clear();
    }
}

}  // namespace tarnwick
