#include "ui/dialog_build_index.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "support/message.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace tarnwick {

TdlgBuildNdx::TdlgBuildNdx(QWidget* owner)
    : TRunDialog(owner, QStringLiteral("dlgBuildNdx"),
                 QStringLiteral("Tarnwick - Building Files")) {
    lblMessage->setWordWrap(true);
    // A fixed pitch keeps the right-aligned word count from jittering while it counts.
    QFont fixed = lblCount->font();
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFamily(QStringLiteral("DejaVu Sans Mono"));
    lblCount->setFont(fixed);
    resize(FittedSize(QSize(416, 170), *this));
}

void TdlgBuildNdx::Prepare(const TdlgBuildNdx_InitData& input, const TCodePage& codePage) {
    input_ = input;
    codePage_ = &codePage;
    CentreOverOwner();
}

void TdlgBuildNdx::FormActivate() {
    if (Running()) {
        return;
    }
    BeginRun();
    TBuildRun run(input_, *this);
    result_ = run.Run();
    ShowPendingCount();
    EndRun(result_.ResultCaption.empty() ? QStringLiteral("OK")
                                         : QString::fromStdString(result_.ResultCaption));
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
    lblCount->setText(QString::fromStdString(pendingCount_));
    ProgBar->setValue(std::min(pendingPosition_, ProgBar->maximum()));
    countClock_.start();
}

void TdlgBuildNdx::ReportError(std::string_view text) {
    Mesg().Show(text, kMbError, this);
}

void TdlgBuildNdx::ShowMessage(std::string_view text) {
    // An error box may follow: the count beside it must be the current one.
    ShowPendingCount();
    // The run's texts write one "&" as "&&", as a label that underlines mnemonics needs; this
    // label shows its text as it is, so the pair becomes the one "&" the user should read.
    lblMessage->setText(ToQt(text, *codePage_).replace(QStringLiteral("&&"), QStringLiteral("&")));
}

}  // namespace tarnwick
