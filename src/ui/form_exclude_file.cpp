#include "ui/form_exclude_file.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <filesystem>

#include "app/program_folders.h"
#include "output/output_names.h"
#include "output/word_list_export.h"
#include "pipeline/exclude_list.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "store/config.h"
#include "store/kdf.h"
#include "support/message.h"
#include "support/utils.h"
#include "support/word_compare.h"
#include "ui/dialog_resources.h"
#include "ui/help.h"
#include "ui/message_text.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace tarnwick {

namespace {

constexpr int kHelpContextEditor = 4;

// A list's file name from a typed name: its file-name part with ".txt" as the extension; empty
// when nothing is left to name a file by (an empty name, or one such as ".old").
std::string ListFileName(std::string_view name) {
    std::string fileName = ForceTxtExtension(FileNamePart(name));
    return fileName.size() > 4 ? fileName : std::string();
}

// Sorting list names: the Windows-1252 word comparison, and the file system's bytes between names
// that it finds equal, so that the order never depends on the folder's. Names are file names,
// not the project's words: their order does not change with the project open.
bool ListNameLess(const std::string& a, const std::string& b) {
    const int order = CompareWords(a, b);
    return order != 0 ? order < 0 : a < b;
}

}  // namespace

TfrmEdit::TfrmEdit(QWidget* owner, const WordCollator& words) : QDialog(owner), collator_(words) {
    setObjectName(QStringLiteral("frmEdit"));
    setWindowTitle(QStringLiteral("Exclude List"));
    setModal(true);
    setMinimumSize(kMinWidth, kMinHeight);
    setSizeGripEnabled(true);
    InitDialogResources();

    CreateControls();
    SetHints();

    FillListCombo();
    if (cboFiles->count() > 0) {
        cboFiles->setCurrentIndex(0);
    }
    btnSave->setEnabled(false);
    RestoreSettings();
    if (cboFiles->currentIndex() >= 0) {
        cboFilesChange();
    }
    editMode_ = Mode::Normal;
    actUnRemove->setEnabled(false);
    // Without a data folder there is no folder to hold new lists.
    const bool haveFolder = !ExcludeListFolder().empty();
    btnNew->setEnabled(haveFolder);
    btnCopy->setEnabled(haveFolder);
}

TfrmEdit::~TfrmEdit() = default;

void TfrmEdit::RestoreSettings() {
    const t_Placement screen = AvailableScreenArea();
    t_Placement placement =
        CentredPlacement(QSize(kEditorDefaultWidth, kEditorDefaultHeight), *this);
    bool stored = false;
    std::string lastList;
    int columns = kDefaultColumns;
    try {
        CConfig config(DataFolder(), Mesg());
        stored = config.GetPlacement(kCfgEditorPlacement, placement, screen.Width, screen.Height);
        lastList = config.GetText(kCfgEditorListName, "");
        columns = config.ReadInteger(kCfgEditorColumns, kDefaultColumns);
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError, this);
    }
    if (!lastList.empty()) {
        cboFiles->setCurrentIndex(ComboIndexOf(lastList));
    }
    spnColumns->setValue(std::clamp(columns, kMinColumns, kMaxColumns));
    ApplyColumns(spnColumns->value());
    ApplyPlacement(*this, placement, minimumSize(), !stored);
}

void TfrmEdit::StoreSettings() {
    try {
        CConfig config(DataFolder(), Mesg());
        PutWindowPlacement(config, kCfgEditorPlacement, *this);
        config.PutText(kCfgEditorListName, ChosenList());
        config.WriteInteger(kCfgEditorColumns, spnColumns->value());
    } catch (const CKdfException& e) {
        Mesg().Show(e.Message(), kMbError, this);
    }
}

void TfrmEdit::FillListCombo() {
    cboFiles->clear();
    const std::string& folder = ExcludeListFolder();
    if (folder.empty() || !FolderExists(folder)) {
        FitListChoice();
        return;
    }
    std::vector<std::string> names = ListTextFiles(folder);
    std::sort(names.begin(), names.end(), ListNameLess);
    for (const std::string& name : names) {
        cboFiles->addItem(PathToQt(name), Bytes(name));
    }
    FitListChoice();
}

std::string TfrmEdit::ListPath(std::string_view name) {
    return ExcludeListFolder() + ForceTxtExtension(FileNamePart(name));
}

bool TfrmEdit::IsDefaultList(std::string_view name) {
    // File names are told apart by their bytes, as the file system does; "default_exclude_list.txt"
    // is another file, never read as the default list.
    return name == DefaultExcludeListName;
}

std::string TfrmEdit::ChosenList() const {
    return cboFiles->currentIndex() < 0 ? std::string()
                                        : FromBytes(cboFiles->currentData().toByteArray());
}

void TfrmEdit::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!activated_) {
        activated_ = true;
        FormActivate();
    }
}

void TfrmEdit::FormActivate() {
    ebxWord->setFocus();
}

void TfrmEdit::cboFilesChange() {
    const std::string name = ChosenList();
    if (name.empty()) {
        return;
    }
    const std::string path = ListPath(name);
    if (!FileExists(path)) {
        Mesg().Show(
            "\"" + MessageName(std::string(FileNamePart(path))) + "\" Does not exist.        ",
            kMbInformation, this);
        // The choice stays with the list shown, so that Save never writes it under another name.
        ChooseCurrentFileInCombo();
        return;
    }
    // Edits not saved yet go back into the list they were made to.
    if (viewChanged_ && !currentFile_.empty() && FileExists(currentFile_)) {
        if (!WriteWords(currentFile_, words_)) {
            ChooseCurrentFileInCombo();
            return;
        }
        viewChanged_ = false;
    }
    if (!LoadView(path)) {
        ChooseCurrentFileInCombo();
    }
}

bool TfrmEdit::LoadView(const std::string& path) {
    std::vector<std::string> lines;
    try {
        lines = ReadListLines(path);
    } catch (const EFileError& e) {
        Mesg().Show(MessageName(e.what()), kMbError, this);
        return false;
    }
    std::stable_sort(lines.begin(), lines.end(), WordLess{&collator_});
    SetViewWords(std::move(lines));
    UpdateCount();
    currentFile_ = path;
    viewChanged_ = false;
    btnSave->setEnabled(false);
    return true;
}

bool TfrmEdit::WriteWords(const std::string& path, const std::vector<std::string>& words) {
    try {
        TFileWriter file(path, *FileSystem);
        for (const std::string& word : words) {
            file.Write(word);
            file.Write("\r\n");
        }
        file.Close();
        return true;
    } catch (const EFileError& e) {
        Mesg().Show(MessageName(e.what()), kMbError, this);
        return false;
    }
}

void TfrmEdit::btnNewClick() {
    if (editMode_ == Mode::Normal) {
        StartNaming(Mode::NamingNewList);
    }
}

void TfrmEdit::btnCopyClick() {
    if (editMode_ == Mode::Normal) {
        StartNaming(Mode::NamingCopy);
    }
}

void TfrmEdit::StartNaming(Mode mode) {
    // The list shown waits aside with its unsaved edits; the view now holds the list being named.
    wordsBeforeNaming_ = words_;
    changedBeforeNaming_ = viewChanged_;
    if (mode == Mode::NamingNewList) {
        SetViewWords({});
        UpdateCount();
    }
    ebxNew->clear();
    cboFiles->hide();
    ebxNew->show();
    ebxNew->setFocus();
    btnSave->setEnabled(true);
    btnNew->setEnabled(false);
    btnCopy->setEnabled(false);
    // Deleting the list that waits aside would leave its words nowhere to go.
    btnDeleteFile->setEnabled(false);
    editMode_ = mode;
}

void TfrmEdit::EndNaming(bool restoreView) {
    if (restoreView) {
        SetViewWords(std::move(wordsBeforeNaming_));
        viewChanged_ = changedBeforeNaming_;
        UpdateCount();
    }
    wordsBeforeNaming_.clear();
    changedBeforeNaming_ = false;
    ebxNew->hide();
    cboFiles->show();
    cboFiles->setFocus();
    btnNew->setEnabled(true);
    btnCopy->setEnabled(true);
    btnDeleteFile->setEnabled(true);
    btnSave->setEnabled(viewChanged_);
    editMode_ = Mode::Normal;
}

void TfrmEdit::btnSaveClick() {
    SaveOrFinish();
}

bool TfrmEdit::SaveOrFinish() {
    if (editMode_ == Mode::NamingNewList) {
        return FinishNewList();
    }
    if (editMode_ == Mode::NamingCopy) {
        return FinishCopy();
    }
    const std::string name = ChosenList();
    if (name.empty()) {
        return true;
    }
    const std::string path = ListPath(name);
    if (!WriteWords(path, words_)) {
        return false;
    }
    if (path == currentFile_) {
        viewChanged_ = false;
    }
    btnSave->setEnabled(false);
    return true;
}

bool TfrmEdit::FinishNewList() {
    const std::string fileName = ListFileName(TrimBlanks(PathFromQt(ebxNew->text())));
    if (fileName.empty() || ExcludeListFolder().empty()) {
        EndNaming(true);
        return true;
    }
    const std::string path = ExcludeListFolder() + fileName;
    // Only a list that does not exist yet is created; an existing one is never emptied by New.
    QFile file(PathToQt(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const bool exists = PathExists(path);
        if (exists) {
            Mesg().Show("Exclude File \"" + MessageName(fileName) + "\" already exists.",
                        kMbInformation, this);
        } else {
            Mesg().Show(
                EFCreateError(MessageName(path), MessageName(PathFromQt(file.errorString())))
                    .what(),
                kMbError, this);
        }
        EndNaming(true);
        return exists;
    }
    file.close();
    // Words typed in while the list was being named belong to the new list.
    if (!words_.empty() && !WriteWords(path, words_)) {
        QFile::remove(PathToQt(path));
        EndNaming(true);
        return false;
    }
    // The list shown before comes back first, so that switching writes its unsaved edits into
    // its own file, never the emptied view.
    EndNaming(true);
    if (ComboIndexOf(fileName) < 0) {
        const QByteArray data = Bytes(fileName);
        int at = 0;
        while (at < cboFiles->count() &&
               ListNameLess(FromBytes(cboFiles->itemData(at).toByteArray()), fileName)) {
            ++at;
        }
        cboFiles->insertItem(at, PathToQt(fileName), data);
    }
    cboFiles->setCurrentIndex(ComboIndexOf(fileName));
    cboFilesChange();
    return true;
}

bool TfrmEdit::FinishCopy() {
    const std::string fileName = ListFileName(TrimBlanks(PathFromQt(ebxNew->text())));
    if (fileName.empty() || ExcludeListFolder().empty()) {
        EndNaming(true);
        return true;
    }
    const std::string path = ExcludeListFolder() + fileName;
    if (FileExists(path)) {
        const std::string question = "Exclude File \"" + MessageName(fileName) +
                                     "\" already exists.\n\n Replace existing file?";
        if (Mesg().Show(question, kMbYesNo, this) != kIdYes) {
            EndNaming(true);
            return true;
        }
    }
    if (!WriteWords(path, words_)) {
        EndNaming(true);
        return false;
    }
    const bool listed = ComboIndexOf(fileName) >= 0;
    EndNaming(true);
    if (!listed) {
        int at = 0;
        while (at < cboFiles->count() &&
               ListNameLess(FromBytes(cboFiles->itemData(at).toByteArray()), fileName)) {
            ++at;
        }
        cboFiles->insertItem(at, PathToQt(fileName), Bytes(fileName));
        cboFiles->setCurrentIndex(at);
        cboFilesChange();
    } else if (path == currentFile_) {
        // Copied over the list shown: the view shows what the file now holds.
        LoadView(path);
    }
    return true;
}

void TfrmEdit::btnDeleteFileClick() {
    const std::string name = ChosenList();
    if (name.empty()) {
        return;
    }
    if (IsDefaultList(name)) {
        Mesg().Show("Deleting Default Exclude File is not allowed.", kMbError, this);
        return;
    }
    if (Mesg().Show("Delete exclude file \"" + MessageName(name) + "\"?", kMbYesNo, this) !=
        kIdYes) {
        return;
    }
    const std::string path = ExcludeListFolder() + name;
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(path), error);
    if (error && PathExists(path)) {
        // A list that is still there must not vanish from the choice as if it were gone.
        Mesg().Show(
            "Cannot delete file \"" + MessageName(path) + "\". " + MessageName(error.message()),
            kMbError, this);
        return;
    }
    SetViewWords({});
    UpdateCount();
    viewChanged_ = false;
    btnSave->setEnabled(false);
    cboFiles->removeItem(cboFiles->currentIndex());
    cboFiles->setCurrentIndex(-1);
}

bool TfrmEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == ebxNew || watched == ebxWord)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (watched == ebxNew && (enter || key == Qt::Key_Escape)) {
            if (key == Qt::Key_Escape) {
                ebxNew->clear();
            }
            btnSaveClick();
            return true;
        }
        if (watched == ebxWord && enter) {
            actAddWordExecute();
            return true;
        }
    }
    if (watched == lbxWords->viewport() && event->type() == QEvent::Resize && columns_ > 1) {
        ApplyColumns(columns_);
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmEdit::actHelpExecute() {
    ShowHelpContext(this, kHelpContextEditor);
}

void TfrmEdit::btnCloseClick() {
    close();
}

void TfrmEdit::reject() {
    close();
}

void TfrmEdit::closeEvent(QCloseEvent* event) {
    if (btnSave->isEnabled()) {
        const int answer =
            Mesg().Show("Save changes to the exclude list file?", kMbYesNoCancel, this);
        bool saved = true;
        if (answer == kIdYes) {
            // Finishing a list being named first, then the list shown, if it still has edits.
            saved = editMode_ == Mode::Normal || SaveOrFinish();
            if (saved && editMode_ == Mode::Normal && btnSave->isEnabled()) {
                saved = SaveOrFinish();
            }
        }
        if (answer == kIdCancel || !saved) {
            event->ignore();
            return;
        }
    }
    removedWords_.clear();
    actUnRemove->setEnabled(false);
    StoreSettings();
    event->accept();
}

int TfrmEdit::ComboIndexOf(std::string_view fileName) const {
    return cboFiles->findData(QByteArray(fileName.data(), static_cast<qsizetype>(fileName.size())));
}

void TfrmEdit::ChooseCurrentFileInCombo() {
    cboFiles->setCurrentIndex(currentFile_.empty() ? -1 : ComboIndexOf(FileNamePart(currentFile_)));
}

}  // namespace tarnwick
