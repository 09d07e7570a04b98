// TdlgParse: the small modal progress dialog of the parse run. It shows the file count, the
// elapsed time and the file being parsed, offers Cancel, and refuses to close while the run is
// active. The run itself is RunParse; this dialog is its progress sink and event pump.
#pragma once

#include <QElapsedTimer>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/parse_run.h"
#include "ui/run_dialog.h"

namespace tarnwick {

class WordViewModel;

class TdlgParse : public TRunDialog, private TParseProgress {
    Q_OBJECT
public:
    explicit TdlgParse(QWidget* owner);
    ~TdlgParse() override;

    // The run's input, and the word view that receives the new words (may be null). Centres the
    // dialog over its owner.
    void Prepare(const TdlgParse_InitData& input, WordViewModel* indexList);

    const TParseResult& Result() const { return result_; }
    // The text of the error that ended the run, if one did.
    const std::string& Error() const { return error_; }

    void FormActivate() override;

private:
    std::string TimeText(int seconds) const override { return LapsedTimeText(seconds); }
    void PumpEvents() override;
    void PumpWhileWaiting() override;
    bool CancelRequested() override { return CancelWanted(); }
    void ShowMessage(std::string_view text) override;
    void ShowCount(std::string_view countText, int position) override;
    void NewWords(const std::vector<std::string_view>& words) override;
    void WordsSorted() override;
    void ReportError(std::string_view text) override;

    // The run reports every file; the labels, the progress bar and the word view are brought up
    // to date at most every kRefreshMs (and at the end), which keeps a run over many small pages
    // from spending its time repainting.
    static constexpr int kRefreshMs = 50;
    // The event loop runs at most every kPumpMs between files.
    static constexpr int kPumpMs = 10;
    void RefreshIfDue();
    void Refresh();

    TdlgParse_InitData input_;
    WordViewModel* indexList_ = nullptr;
    bool hasInput_ = false;
    TParseResult result_;
    std::string error_;

    QElapsedTimer sinceRefresh_;
    QElapsedTimer sincePump_;
    std::string pendingMessage_;
    bool messagePending_ = false;
    std::string pendingCount_;
    int pendingPosition_ = -1;
    std::vector<std::string> pendingWords_;
};

}  // namespace tarnwick
