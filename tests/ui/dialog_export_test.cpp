// The export dialog: the proposed path, the ".txt" rule shown before writing, Export waiting for
// another path after a success, failures told in an error box, Browse, sizing and placement, and
// the main window's menu command exporting the words its view shows.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
#include "ui/dialog_export.h"
#include "ui/main_window.h"
#include "ui/word_view_model.h"

using namespace tarnwick;
using tarnwick::testing::Control;
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::Slurp;
using tarnwick::testing::TempFolder;
using tarnwick::testing::TFaultyFileSystem;
namespace fs = std::filesystem;

class ExportDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        data_ = std::make_unique<TempFolder>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data_->Path().string()));
        PrepareDataFolders();  // the configuration that keeps the placement
        out_ = std::make_unique<TempFolder>();
        words_ = {"Ampersand", "", "Help", "caf\xE9"};
    }
    void cleanup() {
        out_.reset();
        data_.reset();
    }

    void proposesIndexTxtInTheProjectsFolder() {
        ScriptedMesg mesg;
        TdlgExport dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Export List"));
        dialog.Prepare(&words_, "/home/author/help/Garden.hhp");
        QCOMPARE(dialog.ebxExportFile->text(), QStringLiteral("/home/author/help/index.txt"));
        QCOMPARE(dialog.ebxExportFile->cursorPosition(), int(dialog.ebxExportFile->text().size()));
        dialog.btnClose->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void exportGivesTheFileTxtAndWritesOneWordPerLine_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("other extension") << "words.csv"
                                         << "words.txt";
        QTest::newRow("upper-case .TXT") << "words.TXT"
                                         << "words.TXT";
        QTest::newRow("dot in a folder") << "my.dir/words"
                                         << "my.dir/words.txt";
    }
    void exportGivesTheFileTxtAndWritesOneWordPerLine() {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        ScriptedMesg mesg;
        fs::create_directories(out_->Path() / "my.dir");
        TdlgExport dialog;
        dialog.Prepare(&words_, out_->File("Project.hhp"));
        dialog.ebxExportFile->setText(QString::fromStdString(out_->Folder()) + typed);
        dialog.btnExport->click();
        QCOMPARE(dialog.ebxExportFile->text(), QString::fromStdString(out_->Folder()) + written);
        QCOMPARE(Slurp(out_->File(written.toStdString())),
                 std::string("Ampersand\r\nHelp\r\ncaf\xE9\r\n"));
        QVERIFY(!dialog.btnExport->isEnabled());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        // Said in the dialog, not in a box: the words written (the empty entry is not one) and
        // the file's name.
        QCOMPARE(dialog.lblMessage->text(), QStringLiteral("3 words written to ") +
                                                written.section(QLatin1Char('/'), -1) +
                                                QLatin1Char('.'));

        // A second export needs another path; an edit makes Export available again.
        QTest::keyClick(dialog.ebxExportFile, Qt::Key_End);
        QTest::keyClick(dialog.ebxExportFile, Qt::Key_Backspace);
        QVERIFY(dialog.btnExport->isEnabled());
        QVERIFY(dialog.lblMessage->text().isEmpty());
        QVERIFY(mesg.shown.empty());
    }

    void aFileThatCannotBeWrittenIsReported() {
        ScriptedMesg mesg;
        TdlgExport dialog;
        dialog.Prepare(&words_, out_->File("missing/Project.hhp"));
        dialog.btnExport->click();
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(mesg.shown[0].style, 0x10u);
        QVERIFY2(mesg.shown[0].text.starts_with("Cannot create file \"" +
                                                out_->File("missing/index.txt") + "\"."),
                 mesg.shown[0].text.c_str());
        QVERIFY(dialog.btnExport->isEnabled());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);

        // A write that fails half way is reported the same way.
        dialog.ebxExportFile->setText(QString::fromStdString(out_->File("full.txt")));
        TFaultyFileSystem full;
        full.FailAfterBytes = 4;
        dialog.FileSystem = &full;
        dialog.btnExport->click();
        QCOMPARE(mesg.shown.size(), size_t(2));
        QCOMPARE(mesg.shown[1].style, 0x10u);
        QVERIFY(dialog.btnExport->isEnabled());

        // A box that names no file says so instead of writing a hidden ".txt".
        dialog.FileSystem = &TFileSystem::Default();
        dialog.ebxExportFile->setText(QString::fromStdString(out_->Folder()));
        dialog.btnExport->click();
        QCOMPARE(mesg.shown.size(), size_t(3));
        QVERIFY(!fs::exists(out_->File(".txt")));
    }

    void anEmptyListWritesNoFile() {
        ScriptedMesg mesg;
        const std::vector<std::string> none;
        TdlgExport dialog;
        dialog.Prepare(&none, out_->File("Project.hhp"));
        dialog.btnExport->click();
        QVERIFY(!fs::exists(out_->File("index.txt")));
        QVERIFY(dialog.btnExport->isEnabled());
        QVERIFY(mesg.shown.empty());
    }

    void browseTakesAnotherFileNewOrExisting() {
        ScriptedMesg mesg;
        const std::string existing = out_->Write("old.txt", "x\r\n");
        TdlgExport dialog;
        dialog.Prepare(&words_, out_->File("Project.hhp"));
        dialog.btnExport->click();
        QVERIFY(!dialog.btnExport->isEnabled());
        QString offered;
        QString answer;
        dialog.FileChooser = [&](const QString& initial) {
            offered = initial;
            return answer;
        };
        const QString proposed = dialog.ebxExportFile->text();
        answer = proposed;  // the file just written: Export keeps waiting for another
        dialog.btnExportFile->click();
        QCOMPARE(offered, proposed);
        QCOMPARE(dialog.ebxExportFile->text(), proposed);
        QVERIFY(!dialog.btnExport->isEnabled());
        answer.clear();  // cancelled
        dialog.btnExportFile->click();
        QCOMPARE(dialog.ebxExportFile->text(), proposed);
        QVERIFY(!dialog.btnExport->isEnabled());
        answer = QString::fromStdString(existing);
        dialog.btnExportFile->click();
        QCOMPARE(dialog.ebxExportFile->text(), answer);
        QVERIFY(dialog.btnExport->isEnabled());
        // A new name, typed in the save dialog, is taken as well.
        answer = QString::fromStdString(out_->File("new.txt"));
        dialog.btnExportFile->click();
        QCOMPARE(dialog.ebxExportFile->text(), answer);
        QVERIFY(mesg.shown.empty());
    }

    void heightStaysAndPlacementIsRemembered() {
        ScriptedMesg mesg;
        QRect placed;
        {
            TdlgExport dialog;
            dialog.Prepare(&words_, out_->File("Project.hhp"));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            const int height = dialog.height();
            dialog.resize(dialog.FormWidth() - 100, height + 80);
            QCOMPARE(dialog.size(), QSize(dialog.FormWidth(), height));
            dialog.resize(dialog.FormWidth() + 150, height);
            QCOMPARE(dialog.ebxExportFile->cursorPosition(), 0);
            dialog.move(dialog.pos() + QPoint(25, -10));
            placed = dialog.geometry();
            dialog.btnClose->click();
        }
        TdlgExport dialog;
        QCOMPARE(dialog.pos(), placed.topLeft());
        QCOMPARE(dialog.width(), placed.width());
        QVERIFY(mesg.shown.empty());
    }

    // Through the main window's menu command: the words its view shows, nothing else.
    void mainWindowExportsItsWordView() {
        ScriptedMesg mesg;
        TfrmMain window;
        // The proposed file goes beside the open project, the one the words were parsed from.
        Control<QLineEdit>(window, "ebxSource")
            ->setText(QString::fromStdString(out_->File("Garden.hhp")));
        window.Scan();
        window.IndexModel()->Append({"soil", "Bed", "compost"});
        window.IndexModel()->Sort();
        bool ran = false;
        QTimer::singleShot(0, [&]() {
            auto* dialog = qobject_cast<TdlgExport*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->ExportFile(), out_->File("index.txt"));
            dialog->btnExport->click();
            dialog->btnClose->click();
            ran = true;
        });
        Control<QAction>(window, "mnuExport")->trigger();
        QVERIFY(ran);
        QCOMPARE(Slurp(out_->File("index.txt")), std::string("Bed\r\ncompost\r\nsoil\r\n"));
        QVERIFY(mesg.shown.empty());
    }

private:
    std::unique_ptr<TempFolder> data_;
    std::unique_ptr<TempFolder> out_;
    std::vector<std::string> words_;
};

QTEST_MAIN(ExportDialogTest)
#include "dialog_export_test.moc"
