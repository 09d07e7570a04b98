// TdlgBuildNdx: the modal progress dialog of the build run. It shows how many words have been
// written, the elapsed time and the run's messages, offers Cancel, and refuses to close while the
// run is active. The run itself is TBuildRun; this dialog is its progress sink and event pump.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <string>

#include "output/build_run.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tarnwick {

class TdlgBuildNdx : public QDialog, private TBuildProgress {
    Q_OBJECT
public:
    explicit TdlgBuildNdx(QWidget* owner);

    // The run's input; centres the dialog over its owner.
    void Prepare(const TdlgBuildNdx_InitData& input);

    bool Running() const { return running_; }
    const TBuildResult& Result() const { return result_; }

    QLabel* lblCount = nullptr;
    QLabel* lblTime = nullptr;
    QLabel* lblMessage = nullptr;
    QProgressBar* ProgBar = nullptr;
    QPushButton* btnCancelDone = nullptr;
    QTimer* Timer = nullptr;

signals:
    // After each finished step (file or word), with the progress position.
    void Progressed(int position);
    // The run has ended; the button now closes the dialog.
    void RunFinished();

public slots:
    void FormActivate();
    void btnCancelDoneClick();
    void OnTimer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void PumpEvents() override;
    bool CancelRequested() override { return cancelRequested_; }
    void SetProgressMaximum(int maximum) override;
    void ShowCount(std::string_view countText, int position) override;
    void ShowMessage(std::string_view text) override;
    WindowHandle MessageOwner() override { return this; }
    // Puts the latest count and position into the window.
    void ShowPendingCount();

    TdlgBuildNdx_InitData input_;
    bool started_ = false;
    bool running_ = false;
    bool cancelRequested_ = false;
    int elapsedSeconds_ = 0;
    QElapsedTimer pumpClock_;
    QElapsedTimer countClock_;
    std::string pendingCount_;
    int pendingPosition_ = 0;
    bool countPending_ = false;
    TBuildResult result_;
};

}  // namespace tarnwick
