// Draws the pictures of the README and of the help: the windows, opened through the main
// window's real handlers, with the example project open and parsed. Run by scripts/screenshot
// and by the build of the help; offscreen, with a throw-away data folder.
//
//   tarnwick-screenshot [--dark] [--scale FACTOR] [--every] FOLDER
//
// writes main_window.png, exclude_list_editor.png, alias_map_dialog.png and build_dialog.png
// into FOLDER; --every adds every other window and dialog, to look at them all; --dark draws
// with a dark palette and --scale at another scale than 100 % (1.5 for 150 %).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QPalette>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleFactory>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>

#include "app/program_folders.h"
#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "find_control.h"
#include "ui/dialog_build_index.h"
#include "ui/dialog_common_words.h"
#include "ui/dialog_parse.h"
#include "ui/dialog_word_topics.h"
#include "ui/help.h"
#include "ui/help_viewer.h"
#include "ui/main_window.h"
#include "ui/word_view_model.h"

using namespace tarnwick;
using tarnwick::testing::Control;
namespace fs = std::filesystem;

namespace {

// The palette of a desktop in a dark theme.
QPalette DarkPalette() {
    QPalette dark;
    const QColor window(0x35, 0x35, 0x35);
    const QColor base(0x23, 0x23, 0x23);
    const QColor text(0xe8, 0xe8, 0xe8);
    const QColor disabled(0x80, 0x80, 0x80);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::ToolTipBase, base);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, disabled);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, window);
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::BrightText, Qt::red);
    dark.setColor(QPalette::Link, QColor(0x6a, 0xb0, 0xf3));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    dark.setColor(QPalette::Midlight, QColor(0x42, 0x42, 0x42));
    dark.setColor(QPalette::Mid, QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::Dark, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Shadow, Qt::black);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(QPalette::Disabled, role, disabled);
    }
    return dark;
}

// One picture: its file name and how its window is opened and drawn. `draw` is handed the
// window to draw once it is up.
struct Picture {
    const char* file;
    bool always;  // drawn without --every: the README's and the help's pictures
    std::function<void(TfrmMain&, const std::function<void(QWidget&)>& draw)> open;
};

// Draws the modal dialog that the next event loop shows, then closes it.
void DrawNextModal(const std::function<void(QWidget&)>& draw) {
    QTimer::singleShot(0, [draw]() {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            draw(*dialog);
            dialog->close();
        }
    });
}

const Picture kPictures[] = {
    {"main_window.png", true,
     [](TfrmMain& window, const auto& draw) {
         // Where a help author keeps a project, in place of the throw-away folder's random name.
         auto* source = Control<QLineEdit>(window, "ebxSource");
         const QString path = source->text();
         source->setText(QStringLiteral("/home/author/help/garden/Garden.hhp"));
         draw(window);
         source->setText(path);
     }},
    {"exclude_list_editor.png", true,
     [](TfrmMain& window, const auto& draw) {
         QTimer::singleShot(0, [draw]() {
             auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
             if (!editor) {
                 return;
             }
             auto* lists = Control<QComboBox>(*editor, "cboFiles");
             lists->setCurrentIndex(lists->findText(QStringLiteral("Garden.txt")));
             emit lists->activated(lists->currentIndex());
             Control<QSpinBox>(*editor, "spnColumns")->setValue(2);
             editor->resize(520, 400);
             draw(*editor);
             editor->reject();
         });
         window.actEditExcludeFileExecute();
     }},
    {"alias_map_dialog.png", true,
     [](TfrmMain& window, const auto& draw) {
         DrawNextModal(draw);
         window.mnuAliasMapClick();
     }},
    {"build_dialog.png", true,
     [](TfrmMain& window, const auto& draw) {
         window.TestHooks().BuildDialog = [draw](TdlgBuildNdx& dialog) {
             QObject::connect(
                 &dialog, &TdlgBuildNdx::RunFinished, &dialog,
                 [draw, &dialog]() {
                     draw(dialog);
                     dialog.btnCancelDone->click();
                 },
                 Qt::QueuedConnection);
         };
         Control<QAction>(window, "mnuBuildAll")->trigger();
     }},
    {"parse_dialog.png", false,
     [](TfrmMain& window, const auto& draw) {
         window.TestHooks().ParseDialog = [draw](TdlgParse& dialog) {
             QObject::connect(
                 &dialog, &TdlgParse::RunFinished, &dialog,
                 [draw, &dialog]() {
                     draw(dialog);
                     dialog.btnCancelDone->click();
                 },
                 Qt::QueuedConnection);
         };
         Control<QPushButton>(window, "btnParse")->click();
     }},
    {"export_dialog.png", false,
     [](TfrmMain& window, const auto& draw) {
         DrawNextModal(draw);
         window.mnuExportClick();
     }},
    {"about_box.png", false,
     [](TfrmMain& window, const auto& draw) {
         DrawNextModal(draw);
         window.mnuAboutClick();
     }},
    {"help_window.png", false,
     [](TfrmMain& window, const auto& draw) {
         window.actHelpExecute();
         if (HelpWindow()) {
             QTest::qWait(50);
             draw(*HelpWindow());
             HelpWindow()->close();
         }
     }},
    {"show_topics.png", false,
     [](TfrmMain& window, const auto& draw) {
         window.TestHooks().TopicsDialog = [draw](TdlgWordTopics& dialog) {
             QTimer::singleShot(0, &dialog, [draw, &dialog]() {
                 draw(dialog);
                 dialog.reject();
             });
         };
         Control<QListView>(window, "lbxIndex")->setCurrentIndex(window.IndexModel()->index(4));
         window.pumShowTopicsClick();
     }},
    {"exclude_common_words.png", false,
     [](TfrmMain& window, const auto& draw) {
         window.TestHooks().CommonWordsDialog = [draw](TdlgCommonWords& dialog) {
             QTimer::singleShot(0, &dialog, [draw, &dialog]() {
                 draw(dialog);
                 dialog.reject();
             });
         };
         window.mnuCommonWordsClick();
     }},
};

// The offscreen platform warns of every window hint it cannot pass on; what the pictures show
// does not depend on them.
void DropPlatformHints(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && (text.startsWith(QLatin1String("This plugin does not support")) ||
                                 text.startsWith(QLatin1String("QStandardPaths:")))) {
        return;
    }
    std::cerr << qPrintable(qFormatLogMessage(type, context, text)) << "\n";
}

int Usage() {
    std::cerr << "usage: tarnwick-screenshot [--dark] [--scale FACTOR] [--every] FOLDER\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool dark = false;
    bool every = false;
    std::string scale;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dark") {
            dark = true;
        } else if (arg == "--every") {
            every = true;
        } else if (arg == "--scale" && i + 1 < argc) {
            scale = argv[++i];
        } else if (!arg.starts_with("-") && folder.empty()) {
            folder = arg;
        } else {
            return Usage();
        }
    }
    if (folder.empty()) {
        return Usage();
    }
    fs::create_directories(folder);
    qInstallMessageHandler(DropPlatformHints);

    // The same pictures on every machine: offscreen, with the fonts the tests use.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) {
        qputenv("QT_QPA_FONTDIR", "/usr/share/fonts/truetype/dejavu");
    }
    if (!scale.empty()) {
        qputenv("QT_SCALE_FACTOR", QByteArray::fromStdString(scale));
    }
    testing::TempFolder data;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.Path().string()));
    testing::TempFolder projects;
    fs::copy(fs::path(TARNWICK_SOURCE_DIR) / "examples/garden", projects.Path() / "garden",
             fs::copy_options::recursive);

    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (dark) {
        QApplication::setPalette(DarkPalette());
    }
    testing::ScriptedMesg mesg;
    TfrmMain window;
    window.FormCreate();
    // A list of the project's own words beside the default one, for the secondary choice and
    // the editor.
    std::ofstream(ExcludeListFolder() + "Garden.txt", std::ios::binary)
        << "bed\r\nbeds\r\nevery\r\ngarden\r\nkeep\r\nmost\r\nplant\r\nplants\r\nspring\r\n";
    window.FillExcludeListCombo();
    // The size the help shows it at.
    window.resize(540, 353);
    window.show();
    window.TestHooks().ParseDialog = [](TdlgParse& dialog) {
        QObject::connect(
            &dialog, &TdlgParse::RunFinished, &dialog,
            [&dialog]() { dialog.btnCancelDone->click(); }, Qt::QueuedConnection);
    };
    for (const char* box :
         {"ckbBody", "ckbTitle", "ckbKeyWords", "ckbExcludeNumbers", "ckbDefaultExclude"}) {
        Control<QCheckBox>(window, box)->setChecked(true);
    }
    auto* lists = Control<QComboBox>(window, "cboExcludeList");
    lists->setCurrentIndex(lists->findText(QStringLiteral("Garden.txt")));
    emit lists->activated(lists->currentIndex());
    window.OpenProject(QString::fromStdString((projects.Path() / "garden/Garden.hhp").string()));
    // The project's alias and map files are written too.
    window.Session().MapMode = MapMode::AliasFiles;
    window.UpdateMapControls();
    Control<QPushButton>(window, "btnParse")->click();
    Control<QSpinBox>(window, "spnColumns")->setValue(3);
    auto* words = Control<QListView>(window, "lbxIndex");
    words->setCurrentIndex(window.IndexModel()->index(4));
    words->selectionModel()->select(window.IndexModel()->index(4), QItemSelectionModel::Select);
    QTest::qWait(50);

    int failures = 0;
    const QDir out(QString::fromStdString(folder));
    for (const Picture& picture : kPictures) {
        if (!picture.always && !every) {
            continue;
        }
        bool drawn = false;
        picture.open(window, [&](QWidget& shown) {
            QApplication::sendPostedEvents();
            drawn = shown.grab().save(out.filePath(QLatin1String(picture.file)));
        });
        QTest::qWait(20);
        if (!drawn) {
            std::cerr << "could not draw " << picture.file << "\n";
            ++failures;
        }
    }
    window.close();
    return failures == 0 ? 0 : 1;
}
