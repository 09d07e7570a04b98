// Build > Compile Help through the main window's real handler: disabled without a project, a box
// and nothing else without chmcmd, every line and the counts in the compile dialog, and Cancel in
// the middle of a long compile stopping chmcmd with no staging folder left and the previous
// compiled file kept.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cstdlib>
#include <filesystem>

#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "find_control.h"
#include "ui/dialog_compile.h"
#include "ui/main_window.h"

using namespace tarnwick;
using tarnwick::testing::Control;
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::Slurp;
using tarnwick::testing::TempFolder;
using tarnwick::testing::TypeProjectPath;
namespace fs = std::filesystem;

namespace {

bool CompileEnabled(TfrmMain& window) {
    window.mnuBuildClick();
    return Control<QAction>(window, "mnuCompile")->isEnabled();
}

// What the dialog showed when its run ended; the dialog is then closed as OK would.
struct Ended {
    QString caption;
    QString message;
    QString lines;
};

}  // namespace

class CompileDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        data_ = std::make_unique<TempFolder>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data_->Path().string()));
        projects_ = std::make_unique<TempFolder>();
        // Where the staging folder goes, which must be empty after every compile.
        tmp_ = std::make_unique<TempFolder>();
        qputenv("TMPDIR", QByteArray::fromStdString(tmp_->Path().string()));
    }
    void cleanup() {
        qunsetenv("TMPDIR");
        projects_.reset();
        tmp_.reset();
        data_.reset();
    }

    void compilesTheOpenProjectAndSaysEveryLine() {
        if (std::system("command -v chmcmd >/dev/null 2>&1") != 0) {
            QSKIP("chmcmd (fp-utils) is not installed");
        }
        fs::copy(fs::path(TARNWICK_SOURCE_DIR) / "examples/garden", projects_->Path() / "garden",
                 fs::copy_options::recursive);
        ScriptedMesg mesg;
        TfrmMain window;
        window.FormCreate();
        QVERIFY(!CompileEnabled(window));
        TypeProjectPath(window, (projects_->Path() / "garden/Garden.hhp").string());
        QVERIFY(CompileEnabled(window));

        // Without chmcmd: the box, and no dialog.
        bool dialogShown = false;
        window.TestHooks().CompileDialog = [&](TdlgCompile&) { dialogShown = true; };
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        Control<QAction>(window, "mnuCompile")->trigger();
        qputenv("PATH", path);
        QVERIFY(!dialogShown);
        QCOMPARE(mesg.shown.size(), size_t{1});
        QCOMPARE(QString::fromStdString(mesg.shown[0].text),
                 QStringLiteral("Compiling needs chmcmd (Debian package fp-utils)."));

        Ended ended;
        window.TestHooks().CompileDialog = [&](TdlgCompile& dialog) {
            QObject::connect(
                &dialog, &TRunDialog::RunFinished, &dialog,
                [&]() {
                    ended = {dialog.btnCancelDone->text(), dialog.lblMessage->text(),
                             dialog.memLines->toPlainText()};
                    dialog.btnCancelDone->click();
                },
                Qt::QueuedConnection);
        };
        Control<QAction>(window, "mnuCompile")->trigger();
        QVERIFY2(ended.caption == QStringLiteral("OK"), qPrintable(ended.lines));
        QVERIFY2(ended.message.startsWith(QStringLiteral("Compiled Garden.chm: 0 errors")),
                 qPrintable(ended.message));
        // The staging's notes (the example's index is not built yet) and chmcmd's own lines.
        QVERIFY(ended.lines.contains(QStringLiteral("Warning: \"Index file=Garden.hhk\"")));
        QVERIFY(ended.lines.contains(QStringLiteral("compiled as \"html/plants/roses.htm\"")));
        QVERIFY(ended.lines.contains(QStringLiteral("Writing CHM Garden.chm")));
        QVERIFY(fs::file_size(projects_->Path() / "garden/Garden.chm") > 1000);
        QVERIFY(fs::is_empty(tmp_->Path()));
        window.close();
    }

    void cancelStopsChmcmdAndKeepsThePreviousHelp() {
        if (std::system("command -v chmcmd >/dev/null 2>&1") != 0) {
            QSKIP("chmcmd (fp-utils) is not installed");
        }
        // The corpus project that takes chmcmd seconds.
        const fs::path original = fs::path(TARNWICK_CORPUS_DIR) / "serialem";
        QVERIFY2(fs::exists(original), TARNWICK_CORPUS_DIR);
        const fs::path folder = projects_->Path() / "serialem";
        fs::copy(original, folder, fs::copy_options::recursive);
        const std::string previous = projects_->Write("serialem/SerialEM.chm", "previous help");
        ScriptedMesg mesg;
        TfrmMain window;
        window.FormCreate();
        TypeProjectPath(window, (folder / "SerialEM.hhp").string());

        Ended ended;
        bool cancelAsked = false;
        window.TestHooks().CompileDialog = [&](TdlgCompile& dialog) {
            // A moment after the first line, chmcmd is under way.
            QObject::connect(&dialog, &TRunDialog::Progressed, &dialog, [&]() {
                if (!cancelAsked) {
                    cancelAsked = true;
                    QTimer::singleShot(300, &dialog, [&dialog]() {
                        QVERIFY(dialog.Running());
                        dialog.btnCancelDone->click();
                    });
                }
            });
            QObject::connect(
                &dialog, &TRunDialog::RunFinished, &dialog,
                [&]() {
                    ended = {dialog.btnCancelDone->text(), dialog.lblMessage->text(), {}};
                    dialog.btnCancelDone->click();
                },
                Qt::QueuedConnection);
        };
        Control<QAction>(window, "mnuCompile")->trigger();
        QCOMPARE(ended.caption, QStringLiteral("Canceled"));
        QCOMPARE(ended.message, QStringLiteral("Compiling canceled."));
        QVERIFY(fs::is_empty(tmp_->Path()));
        QCOMPARE(Slurp(previous), std::string("previous help"));
        window.close();
    }

private:
    std::unique_ptr<TempFolder> data_;
    std::unique_ptr<TempFolder> tmp_;
    std::unique_ptr<TempFolder> projects_;
};

QTEST_MAIN(CompileDialogTest)
#include "dialog_compile_test.moc"
