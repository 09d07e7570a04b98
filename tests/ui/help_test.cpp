// Help as the program's windows reach it: the loading failure told once and help then silent,
// one loaded library, and the help window that opens over the window that asked, never blocks
// it, follows it out of a closing dialog, and goes when its owner goes.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "find_control.h"
#include "help/html_help.h"
#include "support/code_page.h"
#include "ui/dialog_alias_map.h"
#include "ui/form_exclude_file.h"
#include "ui/help.h"
#include "ui/help_viewer.h"
#include "ui/main_window.h"

using namespace tarnwick;
using tarnwick::testing::Control;
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::TempFolder;

namespace {

const std::string kBuiltHelp = std::string(TARNWICK_OUTPUT_DIR) + "/Tarnwick.chm";
const std::string kFailure =
    "Failure loading the help file,\nTarnwick help will not be available.\n\n";

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        CloseHelp();
        QCOMPARE(CHtmlHelp::LiveCount(), 0);
    }

    void loadingFailureIsToldOnceAndHelpThenDoesNothing_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("text");
        QTest::newRow("no help file") << "missing.chm"
                                      << ""
                                      << ""
                                      << "The compiled help file (.chm) was not found.";
        QTest::newRow("no library") << ""
                                    << "libtarnwick-no-such-chm-library.so.7"
                                    << ""
                                    << "Failure to LoadLibrary( \"hhctrl.ocx\" ).";
        QTest::newRow("no entry point")
            << ""
            << ""
            << "chm_no_such_entry_point"
            << "Failure to get the proceedure address from the HTML Help Program "
               "(GetProcAddress).";
    }
    void loadingFailureIsToldOnceAndHelpThenDoesNothing() {
        QFETCH(QString, file);
        QFETCH(QString, library);
        QFETCH(QString, entry);
        QFETCH(QString, text);
        TempFolder folder;
        TChmLibrary names;
        if (!library.isEmpty()) {
            names.Name = library.toStdString();
        }
        if (!entry.isEmpty()) {
            names.Open = entry.toStdString();
        }
        const std::string helpFile = file.isEmpty() ? kBuiltHelp : folder.File(file.toStdString());
        ScriptedMesg mesg;
        QWidget owner;
        QVERIFY(!OpenHelpFile(helpFile, names, &owner));
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(QString::fromStdString(mesg.shown[0].text),
                 QString::fromStdString(kFailure) + text);
        QCOMPARE(mesg.shown[0].style, 0x10u);
        QCOMPARE(QString::fromStdString(mesg.shown[0].caption), QStringLiteral("Tarnwick"));

        ShowHelpContext(&owner, 7);
        QVERIFY(HelpWindow() == nullptr);
        QCOMPARE(mesg.shown.size(), size_t(1));  // nothing more is said
    }

    void openingTwiceLeavesOneLoadedLibrary() {
        ScriptedMesg mesg;
        QVERIFY(OpenHelpFile(kBuiltHelp));
        QWidget owner;
        ShowHelpContext(&owner, 7);
        QVERIFY(HelpWindow());
        QVERIFY(OpenHelpFile(kBuiltHelp));
        QCOMPARE(CHtmlHelp::LiveCount(), 1);
        QVERIFY(HelpWindow() == nullptr);  // the window of the old file went with it
        QVERIFY(mesg.shown.empty());
    }

    void helpOpensOverItsOwnerWithoutBlockingIt() {
        QVERIFY(OpenHelpFile(kBuiltHelp));
        QWidget main;
        main.setGeometry(100, 100, 700, 500);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        ShowHelpContext(&main, 7);
        TfrmHelp* help = HelpWindow();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QCOMPARE(help->parentWidget(), &main);
        QCOMPARE(help->windowModality(), Qt::NonModal);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(help->CurrentTopic(), std::string("/html/main_window.htm"));
        QVERIFY(help->geometry().intersects(main.geometry()));

        // A second request raises the same window with the new topic, where the user left it.
        help->move(help->pos() + QPoint(30, 20));
        const QPoint movedTo = help->pos();
        ShowHelpContext(&main, 1);
        QCOMPARE(HelpWindow(), help);
        QCOMPARE(help->CurrentTopic(), std::string("/html/alias_map_dialog.htm"));
        QCOMPARE(help->pos(), movedTo);
    }

    // A modal dialog owns the help it asks for, so the help is usable while the dialog runs,
    // and the help stays open with the main window when the dialog closes.
    void helpFollowsADialogAndOutlivesIt() {
        QVERIFY(OpenHelpFile(kBuiltHelp));
        QWidget main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        auto* dialog = new QDialog(&main);
        dialog->setModal(true);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));

        ShowHelpContext(dialog, 4);
        TfrmHelp* help = HelpWindow();
        QVERIFY(help);
        QCOMPARE(help->parentWidget(), dialog);
        QCOMPARE(help->CurrentTopic(), std::string("/html/exclude_list_editor.htm"));

        dialog->close();
        QCOMPARE(HelpWindow(), help);
        QCOMPARE(help->parentWidget(), &main);
        QVERIFY(help->isVisible());
        delete dialog;
        QCOMPARE(HelpWindow(), help);
    }

    void helpGoesWithAnOwnerThatIsDestroyed() {
        QVERIFY(OpenHelpFile(kBuiltHelp));
        {
            QWidget owner;
            ShowHelpContext(&owner, 7);
            QVERIFY(HelpWindow());
        }
        QVERIFY(HelpWindow() == nullptr);
        QWidget next;
        ShowHelpContext(&next, 4);  // a new window, no dangling one
        QVERIFY(HelpWindow());
        QCOMPARE(HelpWindow()->CurrentTopic(), std::string("/html/exclude_list_editor.htm"));
    }

    void f1InTheMainWindowOpensItsTopic() {
        TempFolder data;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.Path().string()));
        ScriptedMesg mesg;
        {
            TfrmMain window;
            window.FormCreate();  // opens Tarnwick.chm beside the test, as the program does
            QVERIFY(mesg.shown.empty());
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(&window, Qt::Key_F1);
            QVERIFY(HelpWindow());
            QCOMPARE(HelpWindow()->CurrentTopic(), std::string("/html/main_window.htm"));
            QCOMPARE(HelpWindow()->parentWidget(), &window);
            window.close();
        }
        QVERIFY(HelpWindow() == nullptr);
        QCOMPARE(CHtmlHelp::LiveCount(), 0);  // closing the main window released the help
        qunsetenv("XDG_DATA_HOME");
    }

    // The two dialogs' help commands, each opening its own page over the dialog that asked.
    void helpInTheEditorAndTheAliasMapDialogOpensTheirTopics() {
        TempFolder data;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.Path().string()));
        ScriptedMesg mesg;
        QVERIFY(OpenHelpFile(kBuiltHelp));
        {
            TfrmMain main;
            main.show();
            QVERIFY(QTest::qWaitForWindowExposed(&main));

            TfrmEdit editor(&main);
            editor.show();
            editor.activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), &editor);
            QTest::keyClick(&editor, Qt::Key_F1);
            QVERIFY(HelpWindow());
            QCOMPARE(HelpWindow()->CurrentTopic(), std::string("/html/exclude_list_editor.htm"));
            QCOMPARE(HelpWindow()->parentWidget(), &editor);
            editor.hide();

            TdlgAliasMap dialog(main.Session(), &main);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.btnHelp->click();
            QCOMPARE(HelpWindow()->CurrentTopic(), std::string("/html/alias_map_dialog.htm"));
            QCOMPARE(HelpWindow()->parentWidget(), &dialog);
            QVERIFY(dialog.isVisible());  // the dialog goes on; help did not close or block it
            dialog.hide();
            QCOMPARE(HelpWindow()->parentWidget(), &main);
        }
        qunsetenv("XDG_DATA_HOME");
    }

    // Help › View Compiled Help shows the open project's compiled file (here a copy of
    // Tarnwick's, named in other letter case and with "\\") in a window of its own, beside
    // Tarnwick's help, which goes on showing its own file; closing the project's window leaves
    // Tarnwick's help open and releases the project's file.
    void viewCompiledHelpOpensBesideTarnwickHelp() {
        TempFolder data;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.Path().string()));
        TempFolder project;
        std::filesystem::create_directory(project.Path() / "out");
        std::filesystem::copy_file(kBuiltHelp, project.Path() / "out" / "Manual.chm");
        const std::string hhp = project.Write(
            "Manual.hhp", "[OPTIONS]\r\nCompiled file=OUT\\manual.CHM\r\n\r\n[FILES]\r\n");
        ScriptedMesg mesg;
        {
            TfrmMain window;
            window.FormCreate();
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QAction* view = Control<QAction>(window, "mnuViewHelp");
            emit Control<QMenu>(window, "mnuHelp")->aboutToShow();
            QVERIFY(!view->isEnabled());  // no project is open
            window.OpenProject(QString::fromStdString(hhp));
            emit Control<QMenu>(window, "mnuHelp")->aboutToShow();
            QVERIFY(view->isEnabled());

            QTest::keyClick(&window, Qt::Key_F1);
            view->trigger();
            TfrmHelp* own = HelpWindow();
            TfrmHelp* viewed = ProjectHelpWindow();
            QVERIFY(own && viewed && own != viewed);
            QCOMPARE(viewed->parentWidget(), &window);
            QCOMPARE(viewed->Help().HelpFile(), (project.Path() / "out" / "Manual.chm").string());
            QCOMPARE(viewed->CurrentTopic(), std::string("/html/welcome.htm"));  // its home
            QCOMPARE(own->CurrentTopic(), std::string("/html/main_window.htm"));
            QCOMPARE(CHtmlHelp::LiveCount(), 2);

            viewed->close();
            QTRY_VERIFY(ProjectHelpWindow() == nullptr);
            QCOMPARE(CHtmlHelp::LiveCount(), 1);
            QVERIFY(own->isVisible());
            ShowHelpContext(&window, 4);
            QCOMPARE(HelpWindow(), own);
            QCOMPARE(own->CurrentTopic(), std::string("/html/exclude_list_editor.htm"));
            QVERIFY(mesg.shown.empty());
            window.close();
        }
        QCOMPARE(CHtmlHelp::LiveCount(), 0);
        qunsetenv("XDG_DATA_HOME");
    }

    // A compiled file that is missing or is none, and a project that cannot be read, are told
    // once, naming the file, and open no window.
    void viewingWhatCannotBeShownIsTold_data() {
        QTest::addColumn<QString>("project");  // the project file's text; empty for none
        QTest::addColumn<QString>("chm");      // the compiled file's text; empty for none
        QTest::addColumn<QString>("said");
        const QString options = QStringLiteral("[OPTIONS]\r\nCompiled file=Help.chm\r\n");
        QTest::newRow("compiled file missing")
            << options << ""
            << "The compiled help file \"%1/Help.chm\" was not found.";
        QTest::newRow("project named, no option")
            << "[OPTIONS]\r\nTitle=x\r\n"
            << ""
            << "The compiled help file \"%1/Manual.chm\" was not found.";
        QTest::newRow("not a compiled file")
            << options << "<html></html>"
            << "The compiled help file \"%1/Help.chm\" could not be read.";
        QTest::newRow("project missing") << ""
                                         << ""
                                         << "%1/Manual.hhp";
    }
    void viewingWhatCannotBeShownIsTold() {
        QFETCH(QString, project);
        QFETCH(QString, chm);
        QFETCH(QString, said);
        TempFolder folder;
        if (!project.isEmpty()) {
            folder.Write("Manual.hhp", project.toStdString());
        }
        if (!chm.isEmpty()) {
            folder.Write("Help.chm", chm.toStdString());
        }
        ScriptedMesg mesg;
        QWidget owner;
        QVERIFY(!ViewProjectHelp(&owner, folder.File("Manual.hhp"), TCodePage::Windows1252()));
        QCOMPARE(mesg.shown.size(), size_t(1));
        QVERIFY2(QString::fromStdString(mesg.shown[0].text)
                     .contains(said.arg(QString::fromStdString(folder.Path().string()))),
                 mesg.shown[0].text.c_str());
        QCOMPARE(mesg.shown[0].style, 0x10u);
        QVERIFY(ProjectHelpWindow() == nullptr);
        QCOMPARE(CHtmlHelp::LiveCount(), 0);
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
