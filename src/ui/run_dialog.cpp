#include "ui/run_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tarnwick {

TRunDialog::TRunDialog(QWidget* owner, const QString& name, const QString& title)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(name);
    setWindowTitle(title);
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
    lblMessage->setMinimumWidth(380);
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

    connect(btnCancelDone, &QPushButton::clicked, this, &TRunDialog::btnCancelDoneClick);
    connect(Timer, &QTimer::timeout, this, &TRunDialog::OnTimer);
}

void TRunDialog::CentreOverOwner() {
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->frameGeometry();
        move(frame.left() + (frame.width() - width()) / 2,
             frame.top() + (frame.height() - height()) / 2);
    }
}

void TRunDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The run starts once per dialog, after the dialog is on the screen.
    if (!started_) {
        started_ = true;
        QTimer::singleShot(0, this, [this]() {
            if (!closeAfterRun_) {
                FormActivate();
            }
        });
    }
}

void TRunDialog::BeginRun() {
    Timer->start();
    elapsedSeconds_ = 0;
    OnTimer();
    running_ = true;
}

void TRunDialog::EndRun(const QString& caption) {
    Timer->stop();
    running_ = false;
    btnCancelDone->setText(caption);
    emit RunFinished();
    if (closeAfterRun_) {
        done(QDialog::Rejected);
    }
}

void TRunDialog::CloseAfterRun() {
    closeAfterRun_ = true;
    if (running_) {
        cancelRequested_ = true;
        return;
    }
    done(QDialog::Rejected);
}

void TRunDialog::btnCancelDoneClick() {
    if (running_) {
        cancelRequested_ = true;
        return;
    }
    done(1);
}

void TRunDialog::OnTimer() {
    ++elapsedSeconds_;
    lblTime->setText(QString::fromStdString(TimeText(elapsedSeconds_)));
}

void TRunDialog::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TRunDialog::reject() {
    // Escape must not end a running run behind the user's back either.
    if (!running_) {
        QDialog::reject();
    }
}

}  // namespace tarnwick
