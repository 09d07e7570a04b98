// TdlgCompile: the modal dialog of the compile run, a sibling of the build dialog. It shows every
// line of the run (what the staging changed, what chmcmd printed) in a scrollable list, the error
// and warning counts in the message line, the elapsed time, and Cancel, which stops chmcmd. The
// run itself is TCompileRun; this dialog is its progress sink and event pump.
#pragma once

#include <string>

#include "output/compile_run.h"
#include "support/code_page.h"
#include "ui/run_dialog.h"

class QPlainTextEdit;

namespace tarnwick {

class TdlgCompile : public TRunDialog, private TCompileProgress {
    Q_OBJECT
public:
    explicit TdlgCompile(QWidget* owner);

    // The run's input, and the code page of the project whose file names the lines hold;
    // centres the dialog over its owner.
    void Prepare(const TCompileInput& input, const TCodePage& codePage);

    const TCompileResult& Result() const { return result_; }

    void FormActivate() override;

    QPlainTextEdit* memLines = nullptr;

private:
    std::string TimeText(int seconds) const override;
    void PumpEvents() override;
    bool CancelRequested() override { return CancelWanted(); }
    void ShowLine(const TCompileLine& line) override;
    void ShowMessage(std::string_view text) override;
    void ReportError(std::string_view text) override;

    TCompileInput input_;
    const TCodePage* codePage_ = &TCodePage::Windows1252();
    TCompileResult result_;
    int errors_ = 0;
    int warnings_ = 0;
};

}  // namespace tarnwick
