// The exclude-list editor through its real handlers and keys: the list choice, New and Copy with
// the name box, adding and removing words with the undo stack, the write-back when switching
// lists, deleting lists, the question on closing, and what it remembers between openings.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "app/program_folders.h"
#include "common/faulty_file_system.h"
#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "find_control.h"
#include "platform/file_system.h"
#include "ui/form_exclude_file.h"
#include "ui/help.h"
#include "ui/help_viewer.h"
#include "ui/main_window.h"

using namespace tarnwick;
using tarnwick::testing::Control;
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::Slurp;
using tarnwick::testing::TempFolder;
using tarnwick::testing::TFaultyFileSystem;
namespace fs = std::filesystem;

namespace {

using Words = std::vector<std::string>;

// Types the text key by key, as a keyboard with any layout would; QTest::keyClicks takes
// Latin-1 only.
void TypeText(QWidget* box, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QStringList ComboItems(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

// Chooses a list as the user does, through the combo box's own signal.
void Choose(TfrmEdit& editor, const QString& name) {
    const int index = editor.cboFiles->findText(name);
    QVERIFY2(index >= 0, qPrintable(name));
    editor.cboFiles->setCurrentIndex(index);
    emit editor.cboFiles->activated(index);
}

void TypeWord(TfrmEdit& editor, const QString& text) {
    TypeText(editor.ebxWord, text);
    QTest::keyClick(editor.ebxWord, Qt::Key_Return);
}

void TypeListName(TfrmEdit& editor, const QString& name, Qt::Key key = Qt::Key_Return) {
    QTest::keyClicks(editor.ebxNew, name);
    QTest::keyClick(editor.ebxNew, key);
}

void SelectWords(TfrmEdit& editor, const Words& words) {
    editor.lbxWords->clearSelection();
    for (const std::string& word : words) {
        const auto& shown = editor.Words();
        const auto at = std::find(shown.begin(), shown.end(), word);
        QVERIFY2(at != shown.end(), word.c_str());
        editor.lbxWords->item(static_cast<int>(at - shown.begin()))->setSelected(true);
    }
}

Words SelectedWords(const TfrmEdit& editor) {
    Words selected;
    for (int row = 0; row < editor.lbxWords->count(); ++row) {
        if (editor.lbxWords->item(row)->isSelected()) {
            selected.push_back(editor.Words()[static_cast<size_t>(row)]);
        }
    }
    return selected;
}

// Shows the editor and waits until it has the keyboard, so that window-wide keys reach it.
void ShowActive(TfrmEdit& editor) {
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
}

}  // namespace

class ExcludeListEditorTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        data_ = std::make_unique<TempFolder>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data_->Path().string()));
        PrepareDataFolders();  // copies the installed default list beside the test
        folder_ = ExcludeListFolder();
        QVERIFY(fs::exists(folder_ + "Default_Exclude_List.txt"));
        WriteList("Garden.txt", "soil\r\nmulch\r\nCompost\r\nrake\r\n");
        WriteList("Tools.txt", "spade\r\nhoe\r\n");
    }
    void cleanup() {
        CloseHelp();
        data_.reset();
    }

    void listChoiceOffersEveryListAndRemembersTheLastOne() {
        ScriptedMesg mesg;
        WriteList("alpha.TXT", "one\r\n");
        WriteList("notes.md", "not a list\r\n");
        fs::create_directories(folder_ + "folder.txt");
        {
            TfrmEdit editor;
            QCOMPARE(
                ComboItems(editor.cboFiles),
                QStringList({"alpha.TXT", "Default_Exclude_List.txt", "Garden.txt", "Tools.txt"}));
            // The first list is shown; its own name is kept, not turned into "alpha.txt".
            QCOMPARE(editor.cboFiles->currentText(), QStringLiteral("alpha.TXT"));
            QCOMPARE(editor.Words(), Words({"one"}));
            QCOMPARE(editor.lblCountValue->text(), QStringLiteral("Count = 1"));
            QVERIFY(!editor.btnSave->isEnabled());
            QVERIFY(!editor.btnUndo->isEnabled());
            QCOMPARE(int(editor.EditMode()), 0);

            Choose(editor, "Garden.txt");
            QCOMPARE(editor.Words(), Words({"Compost", "mulch", "rake", "soil"}));
            editor.spnColumns->setValue(25);
            QCOMPARE(editor.spnColumns->value(), 20);
            editor.spnColumns->setValue(4);
            QVERIFY(editor.lbxWords->isWrapping());
            editor.setGeometry(60, 70, 520, 480);
            editor.close();
            QVERIFY(mesg.shown.empty());
        }
        {
            TfrmEdit editor;
            QCOMPARE(editor.cboFiles->currentText(), QStringLiteral("Garden.txt"));
            QCOMPARE(editor.CurrentFile(), folder_ + "Garden.txt");
            QCOMPARE(editor.spnColumns->value(), 4);
            QCOMPARE(editor.geometry(), QRect(60, 70, 520, 480));
            editor.spnColumns->setValue(1);
            QVERIFY(!editor.lbxWords->isWrapping());
            editor.close();
        }
        // A remembered list that is gone leaves the editor without a choice and empty.
        fs::remove(folder_ + "Garden.txt");
        TfrmEdit editor;
        QCOMPARE(editor.cboFiles->currentIndex(), -1);
        QVERIFY(editor.Words().empty());
        QVERIFY(editor.CurrentFile().empty());
        QVERIFY(mesg.shown.empty());
        editor.close();
    }

    void newListNamesBecomeTxtFiles_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain") << "Terms"
                               << "Terms.txt";
        QTest::newRow("other extension") << "Terms.old"
                                         << "Terms.txt";
        QTest::newRow("blanks and a folder") << "  ../Terms  "
                                             << "Terms.txt";
        QTest::newRow("upper-case extension") << "Terms.TXT"
                                              << "Terms.TXT";
    }
    void newListNamesBecomeTxtFiles() {
        QFETCH(QString, typed);
        QFETCH(QString, file);
        ScriptedMesg mesg;
        TfrmEdit editor;
        ShowActive(editor);
        Choose(editor, "Garden.txt");
        editor.btnNew->click();
        QCOMPARE(int(editor.EditMode()), 2);
        QVERIFY(editor.ebxNew->isVisible());
        QVERIFY(!editor.cboFiles->isVisible());
        QVERIFY(editor.ebxNew->hasFocus());
        QVERIFY(editor.Words().empty());
        QVERIFY(editor.btnSave->isEnabled());
        QVERIFY(!editor.btnNew->isEnabled());
        QVERIFY(!editor.btnCopy->isEnabled());
        editor.btnCopy->click();  // a second New or Copy does nothing while naming
        QCOMPARE(int(editor.EditMode()), 2);

        TypeListName(editor, typed);
        QCOMPARE(int(editor.EditMode()), 0);
        QVERIFY(!editor.ebxNew->isVisible());
        QVERIFY(editor.cboFiles->isVisible());
        QVERIFY(fs::exists(folder_ + file.toStdString()));
        QCOMPARE(Slurp(folder_ + file.toStdString()), std::string());
        QCOMPARE(editor.cboFiles->currentText(), file);
        QCOMPARE(editor.CurrentFile(), folder_ + file.toStdString());
        QVERIFY(editor.Words().empty());
        QVERIFY(!editor.btnSave->isEnabled());
        QVERIFY(editor.btnNew->isEnabled());
        QCOMPARE(Slurp(folder_ + "Garden.txt"),
                 std::string("soil\r\nmulch\r\nCompost\r\nrake\r\n"));
        QVERIFY(mesg.shown.empty());
        editor.close();
    }

    // New empties the view without loading a list: the emptied view never goes over the list
    // shown before, whose unsaved edits are kept.
    void newKeepsTheUnsavedEditsOfTheListShownBefore() {
        ScriptedMesg mesg;
        TfrmEdit editor;
        ShowActive(editor);
        Choose(editor, "Garden.txt");
        TypeWord(editor, "bark");

        // Cancelled with Esc: the list comes back with its edit, still unsaved.
        editor.btnNew->click();
        TypeListName(editor, "Ignored", Qt::Key_Escape);
        QCOMPARE(int(editor.EditMode()), 0);
        QCOMPARE(editor.Words(), Words({"bark", "Compost", "mulch", "rake", "soil"}));
        QVERIFY(editor.btnSave->isEnabled());
        QVERIFY(!fs::exists(folder_ + "Ignored.txt"));

        // A later switch writes the list's own words back, never an empty view.
        Choose(editor, "Tools.txt");
        QCOMPARE(Slurp(folder_ + "Garden.txt"),
                 std::string("bark\r\nCompost\r\nmulch\r\nrake\r\nsoil\r\n"));

        // Confirmed: the edit goes into its own list, a word typed while naming into the new one.
        TypeWord(editor, "rake");
        editor.btnNew->click();
        TypeWord(editor, "trowel");
        TypeListName(editor, "Hand");
        QCOMPARE(Slurp(folder_ + "Tools.txt"), std::string("hoe\r\nrake\r\nspade\r\n"));
        QCOMPARE(Slurp(folder_ + "Hand.txt"), std::string("trowel\r\n"));
        QCOMPARE(editor.cboFiles->currentText(), QStringLiteral("Hand.txt"));
        QCOMPARE(editor.Words(), Words({"trowel"}));
        QVERIFY(!editor.btnSave->isEnabled());

        // An existing name is never emptied by New; the user is told and the list stays shown.
        Choose(editor, "Tools.txt");
        editor.btnNew->click();
        TypeListName(editor, "garden");  // another file on Linux: created
        QVERIFY(fs::exists(folder_ + "garden.txt"));
        Choose(editor, "Tools.txt");
        editor.btnNew->click();
        TypeListName(editor, "Garden");
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(mesg.shown[0].text, std::string("Exclude File \"Garden.txt\" already exists."));
        QCOMPARE(mesg.shown[0].style, 0x40u);
        QCOMPARE(Slurp(folder_ + "Garden.txt"),
                 std::string("bark\r\nCompost\r\nmulch\r\nrake\r\nsoil\r\n"));
        QCOMPARE(editor.cboFiles->currentText(), QStringLiteral("Tools.txt"));
        QCOMPARE(editor.Words(), Words({"hoe", "rake", "spade"}));
        editor.close();
    }

    void addingWords() {
        ScriptedMesg mesg;
        TfrmEdit editor;
        ShowActive(editor);
        Choose(editor, "Garden.txt");
        QVERIFY(editor.ebxWord->hasFocus());

        // The same word in other letter case is selected, not added.
        TypeWord(editor, "MULCH");
        QCOMPARE(editor.Words(), Words({"Compost", "mulch", "rake", "soil"}));
        QCOMPARE(SelectedWords(editor), Words({"mulch"}));
        QVERIFY(!editor.btnSave->isEnabled());
        QVERIFY(editor.ebxWord->text().isEmpty());

        // No spaces, and nothing Windows-1252 cannot hold; the word is kept as typed.
        TypeText(editor.ebxWord, QStringLiteral("Leaf mould\u0101"));
        QCOMPARE(editor.ebxWord->text(), QStringLiteral("Leafmould"));
        QTest::keyClick(editor.ebxWord, Qt::Key_Return);
        TypeWord(editor, QStringLiteral("caf\u00E9"));
        QCOMPARE(editor.Words(),
                 Words({"caf\xE9", "Compost", "Leafmould", "mulch", "rake", "soil"}));
        QCOMPARE(SelectedWords(editor), Words({"caf\xE9"}));
        QCOMPARE(editor.lblCountValue->text(), QStringLiteral("Count = 6"));
        QVERIFY(editor.btnSave->isEnabled());

        editor.btnSave->click();
        QVERIFY(!editor.btnSave->isEnabled());
        QCOMPARE(Slurp(folder_ + "Garden.txt"),
                 std::string("caf\xE9\r\nCompost\r\nLeafmould\r\nmulch\r\nrake\r\nsoil\r\n"));
        QVERIFY(mesg.shown.empty());
        editor.close();
    }

    void removeThreeThenRestoreThreeInReverseOrder() {
        ScriptedMesg mesg;
        TfrmEdit editor;
        ShowActive(editor);
        Choose(editor, "Garden.txt");
        editor.lbxWords->setFocus();
        SelectWords(editor, {"Compost", "rake", "soil"});
        QTest::keyClick(editor.lbxWords, Qt::Key_Delete);  // the window-wide shortcut
        QCOMPARE(editor.Words(), Words({"mulch"}));
        QCOMPARE(editor.RemovedWords(), Words({"soil", "rake", "Compost"}));
        QCOMPARE(editor.lblCountValue->text(), QStringLiteral("Count = 1"));
        QVERIFY(editor.btnUndo->isEnabled());
        QVERIFY(editor.btnSave->isEnabled());

        const Words expected[] = {{"Compost", "mulch"},
                                  {"Compost", "mulch", "rake"},
                                  {"Compost", "mulch", "rake", "soil"}};
        for (const Words& words : expected) {
            QTest::keyClick(editor.lbxWords, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(editor.Words(), words);
        }
        // Each restored word joined the selection.
        QCOMPARE(SelectedWords(editor), Words({"Compost", "rake", "soil"}));
        QVERIFY(editor.RemovedWords().empty());
        QVERIFY(!editor.btnUndo->isEnabled());
        QVERIFY(editor.btnSave->isEnabled());
        editor.btnUndo->click();  // nothing left to restore
        QCOMPARE(editor.Words().size(), size_t(4));

        // The undo stack outlives a switch: the word goes into the list shown, as a change.
        SelectWords(editor, {"soil"});
        editor.btnDelWord->click();
        editor.btnSave->click();
        Choose(editor, "Tools.txt");
        QVERIFY(!editor.btnSave->isEnabled());
        editor.btnUndo->click();
        QCOMPARE(editor.Words(), Words({"hoe", "soil", "spade"}));
        QVERIFY(editor.btnSave->isEnabled());
        QVERIFY(mesg.shown.empty());
        mesg.Answer(kIdNo);
        editor.close();
    }

    void switchingListsWritesOnlyChangedWordsBack() {
        ScriptedMesg mesg;
        WriteList("Loose.txt", "b\nA\n");  // LF line ends, unsorted
        TfrmEdit editor;
        Choose(editor, "Loose.txt");
        QCOMPARE(editor.Words(), Words({"A", "b"}));
        Choose(editor, "Garden.txt");
        QCOMPARE(Slurp(folder_ + "Loose.txt"), std::string("b\nA\n"));  // nothing changed
        QCOMPARE(editor.Words(), Words({"Compost", "mulch", "rake", "soil"}));

        TypeWord(editor, "peat");
        Choose(editor, "Loose.txt");
        QCOMPARE(Slurp(folder_ + "Garden.txt"),
                 std::string("Compost\r\nmulch\r\npeat\r\nrake\r\nsoil\r\n"));
        QCOMPARE(editor.CurrentFile(), folder_ + "Loose.txt");
        QVERIFY(!editor.btnSave->isEnabled());

        // A list that vanished is reported, and the choice stays with the list shown.
        const int toolsIndex = editor.cboFiles->findText("Tools.txt");
        fs::remove(folder_ + "Tools.txt");
        Choose(editor, "Tools.txt");
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(mesg.shown[0].text, std::string("\"Tools.txt\" Does not exist.        "));
        QCOMPARE(mesg.shown[0].style, 0x40u);
        QCOMPARE(editor.cboFiles->currentText(), QStringLiteral("Loose.txt"));
        QVERIFY(editor.cboFiles->currentIndex() != toolsIndex);
        QCOMPARE(editor.Words(), Words({"A", "b"}));
        editor.close();
    }

    void aFailedWriteLosesNothing() {
        ScriptedMesg mesg;
        TfrmEdit editor;
        ShowActive(editor);
        Choose(editor, "Garden.txt");
        TypeWord(editor, "peat");
        TFaultyFileSystem full;
        full.FailAfterBytes = 0;
        editor.FileSystem = &full;
        editor.btnSave->click();
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(mesg.shown[0].style, 0x10u);
        QVERIFY(editor.btnSave->isEnabled());

        Choose(editor, "Tools.txt");  // the write-back fails: the edited list stays shown
        QCOMPARE(mesg.shown.size(), size_t(2));
        QCOMPARE(editor.cboFiles->currentText(), QStringLiteral("Garden.txt"));
        QCOMPARE(editor.Words(), Words({"Compost", "mulch", "peat", "rake", "soil"}));

        mesg.Answer(kIdYes);  // save on closing fails too: the editor stays open
        editor.close();
        QVERIFY(editor.isVisible());

        editor.FileSystem = &TFileSystem::Default();
        mesg.Answer(kIdYes);
        editor.close();
        QVERIFY(!editor.isVisible());
        QCOMPARE(Slurp(folder_ + "Garden.txt"),
                 std::string("Compost\r\nmulch\r\npeat\r\nrake\r\nsoil\r\n"));
    }

    void copyOntoAnExistingList_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("No") << int(kIdNo);
        QTest::newRow("Yes") << int(kIdYes);
    }
    void copyOntoAnExistingList() {
        QFETCH(int, answer);
        ScriptedMesg mesg;
        TfrmEdit editor;
        ShowActive(editor);
        Choose(editor, "Garden.txt");
        editor.btnCopy->click();
        QCOMPARE(int(editor.EditMode()), 1);
        QCOMPARE(editor.Words().size(), size_t(4));  // a copy starts with the words shown
        mesg.Answer(answer);
        TypeListName(editor, "Tools.old");
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(
            mesg.shown[0].text,
            std::string("Exclude File \"Tools.txt\" already exists.\n\n Replace existing file?"));
        QCOMPARE(mesg.shown[0].style, 0x24u);
        QCOMPARE(int(editor.EditMode()), 0);
        QCOMPARE(Slurp(folder_ + "Tools.txt"),
                 answer == kIdYes ? std::string("Compost\r\nmulch\r\nrake\r\nsoil\r\n")
                                  : std::string("spade\r\nhoe\r\n"));
        // The copy's name was listed already: the view stays with the list it shows.
        QCOMPARE(editor.cboFiles->currentText(), QStringLiteral("Garden.txt"));
        QCOMPARE(editor.CurrentFile(), folder_ + "Garden.txt");
        QVERIFY(!editor.btnSave->isEnabled());
        editor.close();
    }

    void copyUnderANewNameShowsTheCopy() {
        ScriptedMesg mesg;
        TfrmEdit editor;
        ShowActive(editor);
        Choose(editor, "Tools.txt");
        TypeWord(editor, "rake");
        editor.btnCopy->click();
        TypeListName(editor, "Shed");
        QVERIFY(mesg.shown.empty());
        QCOMPARE(Slurp(folder_ + "Shed.txt"), std::string("hoe\r\nrake\r\nspade\r\n"));
        QCOMPARE(Slurp(folder_ + "Tools.txt"), std::string("hoe\r\nrake\r\nspade\r\n"));
        QCOMPARE(ComboItems(editor.cboFiles),
                 QStringList({"Default_Exclude_List.txt", "Garden.txt", "Shed.txt", "Tools.txt"}));
        QCOMPARE(editor.cboFiles->currentText(), QStringLiteral("Shed.txt"));
        QCOMPARE(editor.CurrentFile(), folder_ + "Shed.txt");
        editor.close();
    }

    void deletingLists() {
        ScriptedMesg mesg;
        TfrmEdit editor;
        Choose(editor, "Default_Exclude_List.txt");
        editor.btnDeleteFile->click();
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(mesg.shown[0].text, std::string("Deleting Default Exclude File is not allowed."));
        QCOMPARE(mesg.shown[0].style, 0x10u);
        QVERIFY(fs::exists(folder_ + "Default_Exclude_List.txt"));

        Choose(editor, "Tools.txt");
        editor.btnDeleteFile->click();  // answered No
        QCOMPARE(mesg.shown.size(), size_t(2));
        QCOMPARE(mesg.shown[1].text, std::string("Delete exclude file \"Tools.txt\"?"));
        QCOMPARE(mesg.shown[1].style, 0x24u);
        QVERIFY(fs::exists(folder_ + "Tools.txt"));

        mesg.Answer(kIdYes);
        editor.btnDeleteFile->click();
        QVERIFY(!fs::exists(folder_ + "Tools.txt"));
        QCOMPARE(ComboItems(editor.cboFiles),
                 QStringList({"Default_Exclude_List.txt", "Garden.txt"}));
        QCOMPARE(editor.cboFiles->currentIndex(), -1);
        QVERIFY(editor.Words().empty());
        QCOMPARE(editor.lblCountValue->text(), QStringLiteral("Count = 0"));
        editor.btnDeleteFile->click();  // no list chosen: nothing to delete or ask
        QCOMPARE(mesg.shown.size(), size_t(3));
        editor.close();
    }

    void closingWithUnsavedChanges_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("saved");
        QTest::newRow("Cancel") << int(kIdCancel) << true << false;
        QTest::newRow("No") << int(kIdNo) << false << false;
        QTest::newRow("Yes") << int(kIdYes) << false << true;
    }
    void closingWithUnsavedChanges() {
        QFETCH(int, answer);
        QFETCH(bool, open);
        QFETCH(bool, saved);
        ScriptedMesg mesg;
        TfrmEdit editor;
        ShowActive(editor);
        Choose(editor, "Tools.txt");
        TypeWord(editor, "rake");
        mesg.Answer(answer);
        editor.btnClose->click();
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(mesg.shown[0].text, std::string("Save changes to the exclude list file?"));
        QCOMPARE(mesg.shown[0].style, 0x23u);
        QCOMPARE(editor.isVisible(), open);
        QCOMPARE(editor.Words(), Words({"hoe", "rake", "spade"}));
        QCOMPARE(Slurp(folder_ + "Tools.txt"),
                 saved ? std::string("hoe\r\nrake\r\nspade\r\n") : std::string("spade\r\nhoe\r\n"));
        if (open) {
            mesg.Answer(kIdNo);
            QTest::keyClick(&editor, Qt::Key_Escape);  // Esc asks the same question
            QCOMPARE(mesg.shown.size(), size_t(2));
            QVERIFY(!editor.isVisible());
        }
    }

    void f1OpensTheEditorsHelpTopic() {
        ScriptedMesg mesg;
        QVERIFY(OpenHelpFile(std::string(TARNWICK_OUTPUT_DIR) + "/Tarnwick.chm"));
        TfrmEdit editor;
        ShowActive(editor);
        QTest::keyClick(&editor, Qt::Key_F1);
        QVERIFY(HelpWindow());
        QCOMPARE(HelpWindow()->CurrentTopic(), std::string("/html/exclude_list_editor.htm"));
        editor.close();
    }

    // Through the main window's menu command: the editor runs modally, and afterwards the
    // secondary-list choice offers the lists as they now are and keeps its name when it can.
    void mainWindowRefreshesItsListChoiceAfterTheEditor() {
        ScriptedMesg mesg;
        TfrmMain window;
        window.FormCreate();
        QComboBox* secondary = Control<QComboBox>(window, "cboExcludeList");
        secondary->setCurrentIndex(secondary->findText("Garden.txt"));
        bool ran = false;
        auto editInEditor = [&](const std::function<void(TfrmEdit&)>& edit) {
            QTimer::singleShot(0, [&]() {
                auto* editor = qobject_cast<TfrmEdit*>(QApplication::activeModalWidget());
                QVERIFY(editor);
                edit(*editor);
                editor->btnClose->click();
                ran = true;
            });
            Control<QAction>(window, "actEditExcludeFile")->trigger();
            QVERIFY(ran);
        };
        editInEditor([&](TfrmEdit& editor) {
            editor.btnNew->click();
            TypeListName(editor, "Fresh");
            Choose(editor, "Tools.txt");
            mesg.Answer(kIdYes);
            editor.btnDeleteFile->click();
        });
        QCOMPARE(ComboItems(secondary), QStringList({"", "Fresh.txt", "Garden.txt"}));
        QCOMPARE(secondary->currentText(), QStringLiteral("Garden.txt"));

        ran = false;
        editInEditor([&](TfrmEdit& editor) {
            Choose(editor, "Garden.txt");
            mesg.Answer(kIdYes);
            editor.btnDeleteFile->click();
        });
        QCOMPARE(ComboItems(secondary), QStringList({"", "Fresh.txt"}));
        QVERIFY(window.SecondaryListName().empty());
        window.close();
    }

private:
    void WriteList(const std::string& name, const std::string& bytes) {
        data_->Write("Tarnwick/Exclude_List/" + name, bytes);
    }

    std::unique_ptr<TempFolder> data_;
    std::string folder_;
};

QTEST_MAIN(ExcludeListEditorTest)
#include "form_exclude_file_test.moc"
