// TRunDialog: what the parse and build dialogs have in common. A small modal window with a count
// line, the elapsed time, a message line, a progress bar and one button; the run starts once the
// window is first on the screen, and while it runs the window refuses to close (Esc included)
// and the button, "Cancel", asks the run to stop. Afterwards the button closes the window.
// The program closing meanwhile stops the run through CloseAfterRun instead.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tarnwick {

class TRunDialog : public QDialog {
    Q_OBJECT
public:
    bool Running() const { return running_; }
    // True once a stop was asked for, by Cancel or by CloseAfterRun.
    bool CancelWanted() const { return cancelRequested_; }
    // For a close of the program: asks the run to stop and closes the dialog as soon as the run
    // has ended, without waiting for the button; at once when no run is under way (a run not
    // yet started then never starts).
    void CloseAfterRun();

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
    // Runs the whole run; called once, after the dialog was first shown.
    virtual void FormActivate() = 0;
    void btnCancelDoneClick();
    void OnTimer();

protected:
    TRunDialog(QWidget* owner, const QString& name, const QString& title);

    // Puts the dialog in the middle of the window that owns it.
    void CentreOverOwner();
    // Around the run: the timer starts from its first second, the window refuses to close; then
    // the button takes `caption` and RunFinished is sent.
    void BeginRun();
    void EndRun(const QString& caption);
    // The elapsed-time line for `seconds`.
    virtual std::string TimeText(int seconds) const = 0;

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    bool started_ = false;
    bool running_ = false;
    bool cancelRequested_ = false;
    bool closeAfterRun_ = false;
    int elapsedSeconds_ = 0;
};

}  // namespace tarnwick
