// TdlgAliasMap: the alias/map options dialog, in which the user chooses which map files a build
// writes (none, alias and map files, or a topic header file), the help window named in the
// header and the first context ID. The settings live in the project session; OK writes them back.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnwick {

class TProjectSession;

class TdlgAliasMap : public QDialog {
    Q_OBJECT
public:
    // Reads the map choice, WindowName, InitialId and the project's window names of `session`,
    // which must outlive the dialog, when first shown (FormActivate) and writes the first three
    // back on OK. Places itself from configuration key 5 and stores its placement there when it
    // closes.
    TdlgAliasMap(TProjectSession& session, QWidget* owner);

    QGroupBox* gbxMapFile = nullptr;
    QRadioButton* rbtnMapNone = nullptr;
    QRadioButton* rbtnMapContext = nullptr;
    QRadioButton* rbtnMapTopic = nullptr;
    QLabel* lblInitialId = nullptr;
    QLineEdit* ebxInitialId = nullptr;
    QLabel* lblWindow = nullptr;
    QComboBox* cboWindow = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnHelp = nullptr;

    // Every way of closing stores the placement.
    void done(int result) override;

public slots:
    // Shows the session's settings. Runs once, when the dialog is first shown, so that
    // coming back from the help window does not undo the user's choices.
    void FormActivate();
    void rbtnMapClick();
    void btnOkClick();
    void btnCancelClick();
    void btnHelpClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormClose();

    TProjectSession& session_;
    bool activated_ = false;
};

}  // namespace tarnwick
