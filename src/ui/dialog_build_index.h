// TdlgBuildNdx: the modal progress dialog of the build run. It shows how many words have been
// written, the elapsed time and the run's messages, offers Cancel, and refuses to close while the
// run is active. The run itself is TBuildRun; this dialog is its progress sink and event pump.
#pragma once

#include <QElapsedTimer>
#include <string>

#include "output/build_run.h"
#include "support/code_page.h"
#include "ui/run_dialog.h"

namespace tarnwick {

class TdlgBuildNdx : public TRunDialog, private TBuildProgress {
    Q_OBJECT
public:
    explicit TdlgBuildNdx(QWidget* owner);

    // The run's input, and the code page of the project whose file names its messages hold;
    // centres the dialog over its owner.
    void Prepare(const TdlgBuildNdx_InitData& input, const TCodePage& codePage);

    const TBuildResult& Result() const { return result_; }

    void FormActivate() override;

private:
    std::string TimeText(int seconds) const override { return BuildLapsedTimeText(seconds); }
    void PumpEvents() override;
    bool CancelRequested() override { return CancelWanted(); }
    void SetProgressMaximum(int maximum) override;
    void ShowCount(std::string_view countText, int position) override;
    void ShowMessage(std::string_view text) override;
    void ReportError(std::string_view text) override;
    // Puts the latest count and position into the window.
    void ShowPendingCount();

    TdlgBuildNdx_InitData input_;
    const TCodePage* codePage_ = &TCodePage::Windows1252();
    QElapsedTimer pumpClock_;
    QElapsedTimer countClock_;
    std::string pendingCount_;
    int pendingPosition_ = 0;
    bool countPending_ = false;
    TBuildResult result_;
};

}  // namespace tarnwick
