#include "ui/dialog_compile.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QVBoxLayout>

#include "output/build_run.h"
#include "support/message.h"
#include "ui/qt_text.h"

namespace tarnwick {
namespace {

QString Counted(int count, const char* word) {
    return QStringLiteral("%1 %2%3")
        .arg(count)
        .arg(QLatin1String(word))
        .arg(count == 1 ? QString() : QStringLiteral("s"));
}

}  // namespace

TdlgCompile::TdlgCompile(QWidget* owner)
    : TRunDialog(owner, QStringLiteral("dlgCompile"), QStringLiteral("Tarnwick - Compiling Help")) {
    memLines = new QPlainTextEdit(this);
    memLines->setObjectName(QStringLiteral("memLines"));
    memLines->setReadOnly(true);
    memLines->setLineWrapMode(QPlainTextEdit::NoWrap);
    memLines->setMinimumHeight(200);
    // The lines go between the message line and the progress bar.
    if (auto* column = qobject_cast<QVBoxLayout*>(layout())) {
        column->insertWidget(column->indexOf(ProgBar), memLines, 1);
    }
    lblMessage->setWordWrap(true);
    resize(640, 420);
}

void TdlgCompile::Prepare(const TCompileInput& input, const TCodePage& codePage) {
    input_ = input;
    codePage_ = &codePage;
    CentreOverOwner();
}

std::string TdlgCompile::TimeText(int seconds) const {
    return BuildLapsedTimeText(seconds);
}

void TdlgCompile::FormActivate() {
    if (Running()) {
        return;
    }
    BeginRun();
    // chmcmd tells nothing of how far it is: the bar only shows that it works.
    ProgBar->setRange(0, 0);
    TCompileRun run(input_, *this);
    result_ = run.Run();
    ProgBar->setRange(0, 1);
    ProgBar->setValue(1);
    EndRun(QString::fromStdString(result_.ResultCaption));
}

void TdlgCompile::PumpEvents() {
    QCoreApplication::processEvents();
}

void TdlgCompile::ShowLine(const TCompileLine& line) {
    if (line.Kind == CompileLineKind::Error) {
        ++errors_;
    } else if (line.Kind == CompileLineKind::Warning) {
        ++warnings_;
    }
    memLines->appendPlainText(ToQt(line.Text, *codePage_));
    lblMessage->setText(Counted(errors_, "error") + QStringLiteral(", ") +
                        Counted(warnings_, "warning"));
    emit Progressed(errors_ + warnings_);
}

void TdlgCompile::ShowMessage(std::string_view text) {
    lblMessage->setText(ToQt(text, *codePage_));
}

void TdlgCompile::ReportError(std::string_view text) {
    Mesg().Show(text, kMbError, this);
}

}  // namespace tarnwick
