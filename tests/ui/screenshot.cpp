// Grabs the main window, with the example project open and parsed, into a PNG: the picture in
// the README. Run by scripts/screenshot; offscreen, with a throw-away data folder.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <iostream>

#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "find_control.h"
#include "ui/dialog_parse.h"
#include "ui/main_window.h"
#include "ui/word_view_model.h"

using namespace tarnwick;
using tarnwick::testing::Control;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tarnwick-screenshot OUTPUT.png\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::TempFolder data;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.Path().string()));
    testing::TempFolder projects;
    fs::copy(fs::path(TARNWICK_SOURCE_DIR) / "examples/garden", projects.Path() / "garden",
             fs::copy_options::recursive);

    QApplication app(argc, argv);
    testing::ScriptedMesg mesg;
    TfrmMain window;
    window.FormCreate();
    window.resize(820, 560);
    window.show();
    window.TestHooks().ParseDialog = [](TdlgParse& dialog) {
        QObject::connect(
            &dialog, &TdlgParse::RunFinished, &dialog,
            [&dialog]() { dialog.btnCancelDone->click(); }, Qt::QueuedConnection);
    };
    Control<QCheckBox>(window, "ckbBody")->setChecked(true);
    Control<QCheckBox>(window, "ckbTitle")->setChecked(true);
    Control<QCheckBox>(window, "ckbKeyWords")->setChecked(true);
    Control<QCheckBox>(window, "ckbExcludeNumbers")->setChecked(true);
    Control<QCheckBox>(window, "ckbDefaultExclude")->setChecked(true);
    Control<QLineEdit>(window, "ebxSource")
        ->setText(QString::fromStdString((projects.Path() / "garden/Garden.hhp").string()));
    QTest::keyClick(Control<QLineEdit>(window, "ebxSource"), Qt::Key_Return);
    Control<QPushButton>(window, "btnParse")->click();
    Control<QSpinBox>(window, "spnColumns")->setValue(3);
    Control<QListView>(window, "lbxIndex")
        ->selectionModel()
        ->select(window.IndexModel()->index(4), QItemSelectionModel::Select);
    QTest::qWait(50);
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "cannot write " << argv[1] << "\n";
        return 1;
    }
    window.close();
    return 0;
}
