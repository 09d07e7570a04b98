// TdlgExport: the export dialog, which writes the words shown in the main window's word list to a
// plain text file, one word per line, under a path the user may change or browse for.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace tarnwick {

class TdlgExport : public QDialog {
    Q_OBJECT
public:
    // Places itself from configuration key 4 (left, top and width) over a centred default.
    explicit TdlgExport(QWidget* owner = nullptr);

    // The words to write (borrowed; they must outlive the dialog) and the project's path: the
    // box proposes the project's folder followed by "index.txt".
    void Prepare(const std::vector<std::string>* words, const std::string& projectPath);

    // The path in the box (a Linux path).
    std::string ExportFile() const;
    // The form width, which the dialog never gets narrower than once shown.
    int FormWidth() const { return formWidth_; }

    QGroupBox* gbxExport = nullptr;
    QLabel* lblExportFile = nullptr;
    QLineEdit* ebxExportFile = nullptr;
    QToolButton* btnExportFile = nullptr;
    QPushButton* btnExport = nullptr;
    // Says what the last export wrote; emptied when the path changes.
    QLabel* lblMessage = nullptr;
    QPushButton* btnClose = nullptr;

    // Where the export is written; tests hand the dialog one that fails.
    TFileSystem* FileSystem = &TFileSystem::Default();

    // Browse's file chooser: given the path in the box, the chosen file or an empty text when
    // the user cancels. Unset, a save dialog asks (a new name may be typed; an existing file is
    // replaced only once the user agrees); tests put their own here.
    std::function<QString(const QString& initial)> FileChooser;

    // Every way of closing stores the placement.
    void done(int result) override;

public slots:
    // Gives ".txt" to the path shown, then writes the words. A file that cannot be created or
    // written is reported in an error box and Export stays available; a successful export says
    // in the message line how many words went to which file, and Export waits for another path.
    void btnExportClick();
    void btnExportFileClick();
    void ebxExportFileChange();
    void btnCloseClick();
    void FormActivate();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormClose();

    const std::vector<std::string>* words_ = nullptr;
    int formWidth_ = 0;
    bool activated_ = false;
};

}  // namespace tarnwick
