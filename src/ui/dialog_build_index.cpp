#include "ui/dialog_build_index.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/qt_text.h"

namespace tarnwick {

TdlgBuildNdx::TdlgBuildNdx(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("dlgBuildNdx"));
    setWindowTitle(QStringLiteral("Tarnwick - Building Files"));
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
    lblMessage->setWordWrap(true);
    lblMessage->setMinimumWidth(380);
    // A fixed pitch keeps the right-aligned word count from jittering while it counts.
    QFont fixed = lblCount->font();
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFamily(QStringLiteral("DejaVu Sans Mono"));
    lblCount->setFont(fixed);
    ProgBar->setTextVisible(false);
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
    resize(416, 170);

    connect(btnCancelDone, &QPushButton::clicked, this, &TdlgBuildNdx::btnCancelDoneClick);
    connect(Timer, &QTimer::timeout, this, &TdlgBuildNdx::OnTimer);
}

void TdlgBuildNdx::Prepare(const TdlgBuildNdx_InitData& input) {
    input_ = input;
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->frameGeometry();
        move(frame.left() + (frame.width() - width()) / 2,
             frame.top() + (frame.height() - height()) / 2);
    }
}

void TdlgBuildNdx::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        QTimer::singleShot(0, this, &TdlgBuildNdx::FormActivate);
    }
}

void TdlgBuildNdx::FormActivate() {
    if (running_) {
        return;
    }
    Timer->start();
    elapsedSeconds_ = 0;
    OnTimer();
    running_ = true;
    TBuildRun run(input_, *this);
    result_ = run.Run();
    ShowPendingCount();
    Timer->stop();
    running_ = false;
    btnCancelDone->setText(
        ToQt(result_.ResultCaption.empty() ? std::string("OK") : result_.ResultCaption));
    emit RunFinished();
}

void TdlgBuildNdx::btnCancelDoneClick() {
    if (running_) {
        cancelRequested_ = true;
        return;
    }
    done(1);
}

void TdlgBuildNdx::OnTimer() {
    ++elapsedSeconds_;
    lblTime->setText(ToQt(BuildLapsedTimeText(elapsedSeconds_)));
}

void TdlgBuildNdx::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TdlgBuildNdx::reject() {
    if (!running_) {
        QDialog::reject();
    }
}

void TdlgBuildNdx::PumpEvents() {
    // The run asks before every word; hundreds of thousands of event loop passes would cost more
    // than the writing, and a few times a second is quick enough for the timer and Cancel.
    if (!pumpClock_.isValid() || pumpClock_.elapsed() >= 20) {
        QCoreApplication::processEvents();
        pumpClock_.start();
    }
}

void TdlgBuildNdx::SetProgressMaximum(int maximum) {
    ProgBar->setMaximum(std::max(1, maximum));
}

void TdlgBuildNdx::ShowCount(std::string_view countText, int position) {
    // The run counts every word of a big index, hundreds of thousands a second; the window is
    // painted only when events are pumped, so the line follows at that pace and the latest
    // count is shown when the run ends.
    pendingCount_.assign(countText);
    pendingPosition_ = position;
    countPending_ = true;
    if (!countClock_.isValid() || countClock_.elapsed() >= 20) {
        ShowPendingCount();
    }
    emit Progressed(position);
}

void TdlgBuildNdx::ShowPendingCount() {
    if (!countPending_) {
        return;
    }
    countPending_ = false;
    lblCount->setText(ToQt(pendingCount_));
    ProgBar->setValue(std::min(pendingPosition_, ProgBar->maximum()));
    countClock_.start();
}

void TdlgBuildNdx::ShowMessage(std::string_view text) {
    // An error box may follow: the count beside it must be the current one.
    ShowPendingCount();
    lblMessage->setText(ToQt(text));
}

}  // namespace tarnwick
