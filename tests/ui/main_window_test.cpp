// The main window through its real handlers: a help author's whole round of open, parse, prune,
// build, quit and start again, plus the parse dialog's cancel and close rules, one project at a
// time, closing in the middle of a run, and stored placements that no longer fit the screen.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QValidator>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "app/program_folders.h"
#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "common/word_sets.h"
#include "find_control.h"
#include "pipeline/parse_run.h"
#include "platform/qt/termination_signals.h"
#include "store/config.h"
#include "store/mru_item.h"
#include "support/utils.h"
#include "support/word_compare.h"
#include "ui/dialog_alias_map.h"
#include "ui/dialog_build_index.h"
#include "ui/dialog_export.h"
#include "ui/dialog_parse.h"
#include "ui/dialog_word_topics.h"
#include "ui/form_exclude_file.h"
#include "ui/main_window.h"
#include "ui/window_placement.h"
#include "ui/word_details_model.h"
#include "ui/word_view_model.h"

using namespace tarnwick;
using tarnwick::testing::Control;
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::Slurp;
using tarnwick::testing::TempFolder;
using tarnwick::testing::TypeProjectPath;
namespace fs = std::filesystem;

namespace {

#define ASSERT_MKFIFO(path) QCOMPARE(::mkfifo(std::string(path).c_str(), 0600), 0)

// Closes each run's dialog as soon as its run has ended, as a user pressing OK would.
void CloseWhenDone(TfrmMain& window) {
    window.TestHooks().ParseDialog = [](TdlgParse& dialog) {
        QObject::connect(
            &dialog, &TdlgParse::RunFinished, &dialog,
            [&dialog]() { dialog.btnCancelDone->click(); }, Qt::QueuedConnection);
    };
    window.TestHooks().BuildDialog = [](TdlgBuildNdx& dialog) {
        QObject::connect(
            &dialog, &TdlgBuildNdx::RunFinished, &dialog,
            [&dialog]() { dialog.btnCancelDone->click(); }, Qt::QueuedConnection);
    };
}

std::vector<std::string> ShownWords(const TfrmMain& window) {
    return window.IndexModel()->Words();
}

// The row of the word in any letter case, or -1.
int RowOf(const std::vector<std::string>& words, const std::string& word) {
    for (size_t i = 0; i < words.size(); ++i) {
        if (SameWord(words[i], word))
            return static_cast<int>(i);
    }
    return -1;
}

bool Contains(const std::vector<std::string>& words, const std::string& word) {
    return RowOf(words, word) >= 0;
}

QRect AvailableRect() {
    const t_Placement area = AvailableScreenArea();
    return QRect(area.Left, area.Top, area.Width, area.Height);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        data_ = std::make_unique<TempFolder>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data_->Path().string()));
        projects_ = std::make_unique<TempFolder>();
        fs::copy(fs::path(TARNWICK_SOURCE_DIR) / "examples/garden", projects_->Path() / "garden",
                 fs::copy_options::recursive);
        garden_ = (projects_->Path() / "garden/Garden.hhp").string();
    }
    void cleanup() {
        projects_.reset();
        data_.reset();
    }

    void firstStartHasNothingCheckedAndRefusesToParse() {
        ScriptedMesg mesg;
        TfrmMain window;
        window.FormCreate();
        QVERIFY(Control<QLineEdit>(window, "ebxSource")->text().isEmpty());
        for (const char* box : {"ckbBody", "ckbTitle", "ckbDescription", "ckbKeyWords",
                                "ckbExcludeNumbers", "ckbDefaultExclude"}) {
            QVERIFY2(!Control<QCheckBox>(window, box)->isChecked(), box);
        }
        QCOMPARE(int(window.Session().MapMode), 0);
        QCOMPARE(Control<QLabel>(window, "lblFileCount")->text(), QStringLiteral("Count = 0"));
        Control<QPushButton>(window, "btnParse")->click();
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(QString::fromStdString(mesg.shown[0].text),
                 QStringLiteral("No parsing option is checked."));
        QCOMPARE(mesg.shown[0].style, 0x40u);
        // The default list was set up in the new data folder.
        QVERIFY(fs::exists(data_->Path() / "Tarnwick/Exclude_List/Default_Exclude_List.txt"));
    }

    // Alt+letter reaches every menu and item: each has a mnemonic, none shared within the menu
    // bar or one menu (a shared one would only cycle between the items).
    void everyMenuAndItemHasItsOwnMnemonic() {
        ScriptedMesg mesg;
        TfrmMain window;
        window.FormCreate();
        std::vector<QWidget*> menus{window.menuBar()};
        for (QAction* item : window.menuBar()->actions()) {
            menus.push_back(item->menu());
        }
        for (QWidget* menu : menus) {
            std::set<QKeySequence> seen;
            for (QAction* item : menu->actions()) {
                if (item->isSeparator()) {
                    continue;
                }
                const QKeySequence key = QKeySequence::mnemonic(item->text());
                QVERIFY2(!key.isEmpty() && seen.insert(key).second, qPrintable(item->text()));
            }
        }
        window.close();
    }

    void openParsePruneBuildQuitAndComeBack() {
        ScriptedMesg mesg;
        const fs::path listFolder = data_->Path() / "Tarnwick/Exclude_List";
        fs::create_directories(listFolder);
        fs::copy_file(fs::path(TARNWICK_OUTPUT_DIR) / "Default_Exclude_List.txt",
                      listFolder / "Default_Exclude_List.txt");
        { std::ofstream(listFolder / "Gardening.txt", std::ios::binary) << "soil\r\n"; }
        {
            TfrmMain window;
            CloseWhenDone(window);
            window.FormCreate();
            TypeProjectPath(window, garden_);
            QCOMPARE(Control<QListWidget>(window, "lbxFiles")->count(), 14);
            QCOMPARE(Control<QLabel>(window, "lblFileCount")->text(), QStringLiteral("Count = 14"));
            QCOMPARE(Control<QLabel>(window, "lblHhkValue")->text(), QStringLiteral(" Garden.hhk"));
            QCOMPARE(Control<QLabel>(window, "lblAliasValue")->text(),
                     QStringLiteral(" Garden_alias.h"));
            QCOMPARE(Control<QLabel>(window, "lblCodePageValue")->text(), QStringLiteral("1252"));
            QVERIFY(!Control<QPushButton>(window, "btnBuildIndex")->isEnabled());

            Control<QCheckBox>(window, "ckbBody")->setChecked(true);
            Control<QCheckBox>(window, "ckbTitle")->setChecked(true);
            Control<QCheckBox>(window, "ckbDefaultExclude")->setChecked(true);
            QComboBox* secondary = Control<QComboBox>(window, "cboExcludeList");
            secondary->setCurrentIndex(secondary->findText("Gardening.txt"));
            Control<QSpinBox>(window, "spnColumns")->setValue(3);
            // The count behind the dialog follows the words as they arrive.
            QString countAtTheEnd;
            window.TestHooks().ParseDialog = [&](TdlgParse& dialog) {
                QObject::connect(&dialog, &TdlgParse::RunFinished, &dialog, [&]() {
                    countAtTheEnd = Control<QLabel>(window, "lblCountValue")->text();
                });
                QObject::connect(
                    &dialog, &TdlgParse::RunFinished, &dialog,
                    [&dialog]() { dialog.btnCancelDone->click(); }, Qt::QueuedConnection);
            };
            Control<QPushButton>(window, "btnParse")->click();
            const auto words = ShownWords(window);
            QVERIFY(words.size() > 100);
            QCOMPARE(countAtTheEnd,
                     QStringLiteral("Count = ") +
                         QString::fromStdString(GroupDigits(std::to_string(words.size()))));
            QVERIFY(Contains(words, "Garden"));
            QVERIFY(!Contains(words, "the"));   // default list
            QVERIFY(!Contains(words, "soil"));  // secondary list
            QVERIFY(Control<QPushButton>(window, "btnBuildIndex")->isEnabled());
            QCOMPARE(window.Session().WordList.size(), words.size());
            // The view ends in the order its own sort gives.
            window.IndexModel()->Sort();
            QCOMPARE(ShownWords(window), words);
            QVERIFY(mesg.shown.empty());  // the differently cased entry was found

            // Prune two words into the default list.
            const auto model = window.IndexModel();
            const int planner = RowOf(words, "Planner");
            const int garden = RowOf(words, "Garden");
            Control<QListView>(window, "lbxIndex")
                ->selectionModel()
                ->select(model->index(planner), QItemSelectionModel::Select);
            Control<QListView>(window, "lbxIndex")
                ->selectionModel()
                ->select(model->index(garden), QItemSelectionModel::Select);
            window.actDefaultExcludeExecute();
            QVERIFY(!Contains(ShownWords(window), "Garden"));
            QVERIFY(!Contains(ShownWords(window), "Planner"));
            // Still indexed until the next parse.
            QVERIFY(tarnwick::testing::FindEntry(window.Session().WordList, "Garden") != nullptr);
            const std::string list = Slurp(listFolder / "Default_Exclude_List.txt");
            QVERIFY(list.find("\r\ngarden\r\n") != std::string::npos);
            QVERIFY(list.find("\r\nplanner\r\n") != std::string::npos);
            QCOMPARE(Control<QLabel>(window, "lblCountValue")->text(),
                     QStringLiteral("Count = ") +
                         QString::fromStdString(GroupDigits(std::to_string(words.size() - 2))));

            // Build the index, then the alias and map files. The dialog ends showing the
            // whole count, however few of the per-word counts it painted.
            QString finalCount;
            int finalPosition = -1;
            window.TestHooks().BuildDialog = [&](TdlgBuildNdx& dialog) {
                QObject::connect(
                    &dialog, &TdlgBuildNdx::RunFinished, &dialog,
                    [&]() {
                        finalCount = dialog.lblCount->text();
                        finalPosition = dialog.ProgBar->value();
                        QCOMPARE(finalPosition, dialog.ProgBar->maximum());
                        dialog.btnCancelDone->click();
                    },
                    Qt::QueuedConnection);
            };
            Control<QPushButton>(window, "btnBuildIndex")->click();
            CloseWhenDone(window);
            const int wordCount = static_cast<int>(window.Session().WordList.size());
            QCOMPARE(finalCount, QString::fromStdString(BuildCountText(wordCount, wordCount, 14)));
            QCOMPARE(finalPosition, wordCount);
            QVERIFY(!Control<QPushButton>(window, "btnBuildIndex")->isEnabled());
            const std::string hhk = Slurp(projects_->Path() / "garden/Garden.hhk");
            QVERIFY(
                hhk.find("<param name=\"Name\" value=\"" +
                         tarnwick::testing::FindEntry(window.Session().WordList, "garden")->Word +
                         "\">") != std::string::npos);
            window.Session().MapMode = MapMode::AliasFiles;
            window.Session().WindowName = "main";
            window.Session().InitialId = 100;
            window.UpdateMapControls();
            QVERIFY(Control<QPushButton>(window, "btnBuildMap")->isEnabled());
            QString mapMessage;
            window.TestHooks().BuildDialog = [&](TdlgBuildNdx& dialog) {
                QObject::connect(
                    &dialog, &TdlgBuildNdx::RunFinished, &dialog,
                    [&]() {
                        mapMessage = dialog.lblMessage->text();
                        dialog.btnCancelDone->click();
                    },
                    Qt::QueuedConnection);
            };
            Control<QPushButton>(window, "btnBuildMap")->click();
            QVERIFY(fs::exists(projects_->Path() / "garden/Garden_alias.h"));
            QVERIFY(fs::exists(projects_->Path() / "garden/Garden_map.h"));
            QVERIFY2(mesg.shown.empty(), mesg.shown.empty() ? "" : mesg.shown[0].text.c_str());
            // The user reads one "&" where the run's text doubles it.
            QCOMPARE(mapMessage, QStringLiteral("\nAlias File & Map File Successfully Created."));

            window.setGeometry(40, 50, 700, 640);
            window.close();
        }
        {
            TfrmMain window;
            window.FormCreate();
            QCOMPARE(Control<QLineEdit>(window, "ebxSource")->text(),
                     QString::fromStdString(garden_));
            QCOMPARE(Control<QListWidget>(window, "lbxFiles")->count(), 14);
            QVERIFY(Control<QCheckBox>(window, "ckbBody")->isChecked());
            QVERIFY(Control<QCheckBox>(window, "ckbTitle")->isChecked());
            QVERIFY(!Control<QCheckBox>(window, "ckbKeyWords")->isChecked());
            QVERIFY(Control<QCheckBox>(window, "ckbDefaultExclude")->isChecked());
            QCOMPARE(Control<QComboBox>(window, "cboExcludeList")->currentText(),
                     QStringLiteral("Gardening.txt"));
            QCOMPARE(int(window.Session().MapMode), 2);
            QCOMPARE(window.Session().WindowName, std::string("main"));
            QCOMPARE(window.Session().InitialId, 100);
            QCOMPARE(Control<QSpinBox>(window, "spnColumns")->value(), 3);
            QCOMPARE(window.geometry().size(), QSize(700, 640));
            // The open project is not offered under ReOpen while it is open.
            for (QAction* item :
                 window.findChildren<QAction*>(QRegularExpression(QStringLiteral("^mru1\\d$")))) {
                QVERIFY(!item->isVisible() || item->text() != QString::fromStdString(garden_));
            }
            window.close();
        }
    }

    void cancelAfterTheThirdOfTenFiles() {
        ScriptedMesg mesg;
        std::string files;
        for (int i = 0; i < 10; ++i) {
            const std::string name = "page" + std::to_string(i) + ".htm";
            projects_->Write("ten/" + name, "<html><body>common word" + std::to_string(i) +
                                                " only" + std::string(1, char('a' + i)) +
                                                "</body></html>");
            files += name + "\r\n";
        }
        const std::string project =
            projects_->Write("ten/Ten.hhp", "[OPTIONS]\r\nIndex file=Ten.hhk\r\n[FILES]\r\n" +
                                                files + "\r\n[INFOTYPES]\r\n");
        TfrmMain window;
        window.FormCreate();
        Control<QCheckBox>(window, "ckbBody")->setChecked(true);
        TypeProjectPath(window, project);
        QCOMPARE(Control<QListWidget>(window, "lbxFiles")->count(), 10);
        QString countText;
        bool refusedToClose = false;
        window.TestHooks().ParseDialog = [&](TdlgParse& dialog) {
            QObject::connect(&dialog, &TdlgParse::Progressed, &dialog, [&](int position) {
                if (position == 1) {
                    dialog.close();
                    refusedToClose = dialog.isVisible() && dialog.Running();
                }
                if (position == 3) {
                    dialog.btnCancelDone->click();
                }
            });
            QObject::connect(
                &dialog, &TdlgParse::RunFinished, &dialog,
                [&]() {
                    countText = dialog.lblCount->text();
                    QCOMPARE(dialog.btnCancelDone->text(), QStringLiteral("Canceled"));
                    QCOMPARE(dialog.lblMessage->text(), QStringLiteral("User Canceled Parsing."));
                    dialog.btnCancelDone->click();
                },
                Qt::QueuedConnection);
        };
        Control<QPushButton>(window, "btnParse")->click();
        QVERIFY(refusedToClose);
        QCOMPARE(countText, QStringLiteral("3 of 10 Topic Files Parsed"));
        const auto words = ShownWords(window);
        QVERIFY(Contains(words, "onlya"));
        QVERIFY(Contains(words, "onlyc"));
        QVERIFY(!Contains(words, "onlyd"));
        QCOMPARE(tarnwick::testing::FindEntry(window.Session().WordList, "common")->Files.size(),
                 size_t(3));
    }

    void moveItemsFollowTheSelectionAndTheChosenList() {
        ScriptedMesg mesg;
        TfrmMain window;
        CloseWhenDone(window);
        window.FormCreate();
        Control<QCheckBox>(window, "ckbBody")->setChecked(true);
        TypeProjectPath(window, garden_);
        Control<QPushButton>(window, "btnParse")->click();
        Control<QAction>(window, "actUserExclude")->setText(QStringLiteral("previous caption"));
        window.pumIndexPopup();
        QVERIFY(!Control<QAction>(window, "actDefaultExclude")->isEnabled());
        QVERIFY(!Control<QAction>(window, "actUserExclude")->isEnabled());
        Control<QListView>(window, "lbxIndex")
            ->selectionModel()
            ->select(window.IndexModel()->index(0), QItemSelectionModel::Select);
        window.pumIndexPopup();
        QVERIFY(Control<QAction>(window, "actDefaultExclude")->isEnabled());
        // The empty choice names no list.
        QVERIFY(!Control<QAction>(window, "actUserExclude")->isEnabled());
        QCOMPARE(Control<QAction>(window, "actUserExclude")->text(),
                 QStringLiteral("previous caption"));

        const fs::path lists = data_->Path() / "Tarnwick/Exclude_List";
        std::ofstream(lists / "Mine.txt", std::ios::binary) << "zzz\r\n";
        window.FillExcludeListCombo();
        QCOMPARE(Control<QComboBox>(window, "cboExcludeList")->count(),
                 2);  // the empty item and Mine.txt, never the default
        Control<QComboBox>(window, "cboExcludeList")->setCurrentIndex(1);
        window.pumIndexPopup();
        QVERIFY(Control<QAction>(window, "actUserExclude")->isEnabled());
        QCOMPARE(Control<QAction>(window, "actUserExclude")->text(),
                 QStringLiteral("Move To Exclude List: Mine.txt"));

        window.mnuBuildClick();
        QVERIFY(Control<QAction>(window, "mnuBuildIndex")->isEnabled());
        QVERIFY(!Control<QAction>(window, "mnuBuildMap")->isEnabled());
        QVERIFY(!Control<QAction>(window, "mnuBuildAll")->isEnabled());
        window.close();
    }

    // The details mode: each word with its topic count and first topic, sorted by any column
    // (counts with ties in word order, words by the collator, never as Qt strings), the current
    // word's count on the status bar, its topics opened as pages found in any letter case, words
    // moved to a list from the table, and the mode and sort kept over a restart.
    void detailsModeCountsSortsAndOpensTopics() {
        ScriptedMesg mesg;
        {
            TfrmMain window;
            CloseWhenDone(window);
            window.FormCreate();
            Control<QCheckBox>(window, "ckbBody")->setChecked(true);
            TypeProjectPath(window, garden_);
            Control<QPushButton>(window, "btnParse")->click();
            Control<QComboBox>(window, "cboIndexView")->setCurrentIndex(1);
            auto* table = Control<QTreeView>(window, "lvwIndex");
            QVERIFY(!table->isHidden());
            QVERIFY(Control<QListView>(window, "lbxIndex")->isHidden());
            const WordDetailsModel* details = window.DetailsModel();
            const auto cell = [details](int row, int column) {
                return details->data(details->index(row, column), Qt::DisplayRole).toString();
            };
            const auto rowOf = [&](const char* word) {
                for (int row = 0; row < details->rowCount(); ++row) {
                    if (SameWord(window.IndexModel()->Word(details->SourceRow(row)), word))
                        return row;
                }
                return -1;
            };
            QCOMPARE(details->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                     QStringLiteral("First Topic"));
            // Found in the library page and its own, which the project writes in other case.
            const int roses = rowOf("roses");
            QCOMPARE(cell(roses, 0).toLower(), QStringLiteral("roses"));
            QCOMPARE(cell(roses, 1), QStringLiteral("2"));
            QCOMPARE(cell(roses, 2), QStringLiteral("html\\plants\\library.htm"));

            // By count, most first: ties keep the word order, whatever their letter case.
            table->header()->setSortIndicator(1, Qt::DescendingOrder);
            const WordCollator& collator = WordCollator::For(1252);
            QCOMPARE(details->rowCount(), window.IndexModel()->rowCount());
            for (int row = 1; row < details->rowCount(); ++row) {
                const int above = cell(row - 1, 1).toInt();
                const int count = cell(row, 1).toInt();
                QVERIFY2(above > count ||
                             (above == count &&
                              collator.Less(window.IndexModel()->Word(details->SourceRow(row - 1)),
                                            window.IndexModel()->Word(details->SourceRow(row)))),
                         qPrintable(cell(row, 0)));
            }
            QCOMPARE(cell(0, 1).toInt(), 14);  // in every page
            // And back by word: the list mode's (the collator's) order.
            table->header()->setSortIndicator(0, Qt::AscendingOrder);
            for (int row = 0; row < details->rowCount(); ++row) {
                QCOMPARE(details->SourceRow(row), row);
            }

            // The current word on the status bar, and its topics.
            table->header()->setSortIndicator(2, Qt::DescendingOrder);
            table->setCurrentIndex(details->index(rowOf("roses"), 0));
            QCOMPARE(Control<QLabel>(window, "lblWordTopics")->text(),
                     cell(rowOf("roses"), 0) + QStringLiteral(": 2 of 14 topics"));
            QStringList listed;
            std::vector<QUrl> opened;
            bool openWorks = true;
            window.TestHooks().UrlOpener = [&](const QUrl& url) {
                opened.push_back(url);
                return openWorks;
            };
            window.TestHooks().TopicsDialog = [&](TdlgWordTopics& dialog) {
                for (int row = 0; row < dialog.lbxTopics->count(); ++row) {
                    listed << dialog.lbxTopics->item(row)->text();
                }
                dialog.lbxTopics->setCurrentRow(1);
                dialog.btnOpen->click();
                openWorks = false;
                dialog.btnOpen->click();
                QTimer::singleShot(0, &dialog, &QDialog::accept);
            };
            window.pumIndexPopup();
            QVERIFY(Control<QAction>(window, "pumShowTopics")->isEnabled());
            Control<QAction>(window, "pumShowTopics")->trigger();
            QCOMPARE(listed, (QStringList{QStringLiteral("html\\plants\\library.htm"),
                                          QStringLiteral("html\\Plants\\Roses.htm")}));
            QCOMPARE(opened.size(), size_t(2));
            QCOMPARE(opened[0].toLocalFile(),
                     QString::fromStdString(
                         (projects_->Path() / "garden/html/plants/roses.htm").string()));
            QCOMPARE(mesg.shown.size(), size_t(1));
            QCOMPARE(QString::fromStdString(mesg.shown[0].text),
                     QStringLiteral("Unable to open browser."));
            mesg.shown.clear();

            // Moved to a list from the table: the words go, the rest keep the table's order.
            table->header()->setSortIndicator(1, Qt::DescendingOrder);
            const int words = details->rowCount();
            const QString first = cell(0, 0);
            const QString third = cell(2, 0);
            table->selectionModel()->select(
                details->index(0, 0),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            table->selectionModel()->select(
                details->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            window.actDefaultExcludeExecute();
            QCOMPARE(details->rowCount(), words - 2);
            QCOMPARE(window.IndexModel()->rowCount(), words - 2);
            QVERIFY(!Contains(ShownWords(window), first.toStdString()));
            QVERIFY(!Contains(ShownWords(window), third.toStdString()));
            for (int row = 1; row < details->rowCount(); ++row) {
                QVERIFY(cell(row - 1, 1).toInt() >= cell(row, 1).toInt());
            }
            QVERIFY2(mesg.shown.empty(), mesg.shown.empty() ? "" : mesg.shown[0].text.c_str());
            window.close();
        }
        TfrmMain again;
        again.FormCreate();
        QCOMPARE(Control<QComboBox>(again, "cboIndexView")->currentIndex(), 1);
        QVERIFY(!Control<QTreeView>(again, "lvwIndex")->isHidden());
        QCOMPARE(again.DetailsModel()->SortColumn(), 1);
        QCOMPARE(again.DetailsModel()->SortOrder(), Qt::DescendingOrder);
        again.close();
    }

    // A Windows-1251 project (Language=0x419): its words shown as Cyrillic, in the order of its
    // collator, pruned into a list as its own lower-case bytes and compared there as its words,
    // and the editor, opened from the window, shows and compares them the same way.
    void aRussianProjectShowsSortsAndPrunesItsWordsInItsCodePage() {
        ScriptedMesg mesg;
        fs::copy(fs::path(TARNWICK_SOURCE_DIR) / "examples/garden-ru", projects_->Path() / "ru",
                 fs::copy_options::recursive);
        const fs::path lists = data_->Path() / "Tarnwick/Exclude_List";
        fs::create_directories(lists);
        // "ГЛОРИЯ": equal to "Глория" in Windows-1251, but not when read as Windows-1252, where
        // the last letters are sharp s and y diaeresis.
        std::ofstream(lists / "Sad.txt", std::ios::binary) << "\xC3\xCB\xCE\xD0\xC8\xDF\r\n";
        const std::string roses = "\xD0\xEE\xE7\xFB";           // Розы
        const std::string gloria = "\xC3\xEB\xEE\xF0\xE8\xFF";  // Глория

        TfrmMain window;
        CloseWhenDone(window);
        window.FormCreate();
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick"));
        for (const char* box : {"ckbBody", "ckbTitle", "ckbDescription", "ckbKeyWords"}) {
            Control<QCheckBox>(window, box)->setChecked(true);
        }
        TypeProjectPath(window, (projects_->Path() / "ru/Sad.hhp").string());
        // The project's file name, not its folder, before the program's name.
        QCOMPARE(window.windowTitle(), QStringLiteral("Sad.hhp \u2014 Tarnwick"));
        QCOMPARE(Control<QLabel>(window, "lblCodePageValue")->text(), QStringLiteral("1251"));
        QCOMPARE(mesg.CodePage, 1251);  // message boxes decode the project's names with it
        Control<QPushButton>(window, "btnParse")->click();

        const WordCollator& russian = WordCollator::For(1251);
        const auto words = ShownWords(window);
        const auto row = [&](const std::string& word) {
            const auto at = std::find_if(words.begin(), words.end(), [&](const std::string& w) {
                return russian.Equal(w, word);
            });
            return at == words.end() ? -1 : static_cast<int>(at - words.begin());
        };
        const WordViewModel* model = window.IndexModel();
        const auto shown = [&](int r) { return model->data(model->index(r), Qt::DisplayRole); };
        QVERIFY(row(roses) >= 0);
        QCOMPARE(shown(row(roses)).toString().toLower(), QStringLiteral("розы"));
        QCOMPARE(shown(row("\xCE\xE1\xF0\xE5\xE7\xEA\xF3")).toString(), QStringLiteral("Обрезку"));
        // Latin before Cyrillic, and Cyrillic in its alphabet's order: read as Windows-1252,
        // "Введение" would come first, among the A's.
        const int order[] = {row("Dijon"), row("Gloire"), row("\xC2\xE2\xE5\xE4\xE5\xED\xE8\xE5"),
                             row(gloria), row("\xC4\xFD\xE9")};  // Введение, Глория, Дэй
        for (size_t i = 0; i < std::size(order); ++i) {
            QVERIFY2(order[i] >= 0 && (i == 0 || order[i - 1] < order[i]),
                     qPrintable(QString::number(i)));
        }

        // Chosen after the parse, which would have left out the word it holds.
        QComboBox* secondary = Control<QComboBox>(window, "cboExcludeList");
        secondary->setCurrentIndex(secondary->findText("Sad.txt"));
        QItemSelectionModel* selection = Control<QListView>(window, "lbxIndex")->selectionModel();
        selection->select(model->index(row(roses)), QItemSelectionModel::Select);
        selection->select(model->index(row(gloria)), QItemSelectionModel::Select);
        window.actUserExcludeExecute();
        QCOMPARE(ShownWords(window).size(), words.size() - 2);
        // "Глория" is the word the list holds already; "Розы" goes in lowered in Windows-1251.
        QCOMPARE(Slurp(lists / "Sad.txt"),
                 std::string("\xC3\xCB\xCE\xD0\xC8\xDF\r\n\xF0\xEE\xE7\xFB\r\n"));

        bool editorSeen = false;
        QTimer::singleShot(0, &window, [&]() {
            auto* editor = window.findChild<TfrmEdit*>();
            QVERIFY(editor);
            // Ends the modal editor however the checks end, unsaved words or not.
            const auto end = qScopeGuard([editor]() { editor->done(QDialog::Rejected); });
            editor->cboFiles->setCurrentIndex(editor->cboFiles->findText("Sad.txt"));
            editor->cboFilesChange();
            QCOMPARE(editor->lbxWords->count(), 2);
            QCOMPARE(editor->lbxWords->item(0)->text(), QStringLiteral("ГЛОРИЯ"));
            QCOMPARE(editor->lbxWords->item(1)->text(), QStringLiteral("розы"));
            // A word in other letter case is the word held; one Windows-1251 lacks is refused.
            editor->ebxWord->setText(QStringLiteral("глория"));
            editor->actAddWordExecute();
            QCOMPARE(editor->lbxWords->count(), 2);
            QString typed = QStringLiteral("caf\u00E9");
            int at = 0;
            QCOMPARE(editor->ebxWord->validator()->validate(typed, at), QValidator::Invalid);
            editorSeen = true;
        });
        window.actEditExcludeFileExecute();
        QVERIFY(editorSeen);

        window.mnuCloseClick();
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick"));
        QCOMPARE(mesg.CodePage, 1252);
        QVERIFY(mesg.shown.empty());
        window.close();
    }

    void terminationSignalClosesLikeExit() {
        ScriptedMesg mesg;
        {
            TfrmMain window;
            window.FormCreate();
            TypeProjectPath(window, garden_);
            CloseOnTerminationSignals(&window);
            window.show();
            ::raise(SIGTERM);
            QTRY_VERIFY(!window.isVisible());
        }
        TfrmMain again;
        again.FormCreate();
        QCOMPARE(Control<QLineEdit>(again, "ebxSource")->text(), QString::fromStdString(garden_));
        again.close();
    }

    // A typing slip in the project path must not leave the open project's words, index name and
    // Build Index in the window under another project's path: the box names the open project
    // again, and nothing acts on a path typed but not entered.
    void aPathThatNamesNoFileLeavesTheOpenProjectInCharge() {
        ScriptedMesg mesg;
        const std::string other = projects_->Write("other/Other.hhp",
                                                   "[OPTIONS]\r\nIndex file=Other.hhk\r\n"
                                                   "[FILES]\r\nother.htm\r\n");
        const std::string typo = (projects_->Path() / "other/Gardne.hhp").string();
        {
            TfrmMain window;
            CloseWhenDone(window);
            window.FormCreate();
            Control<QCheckBox>(window, "ckbBody")->setChecked(true);
            TypeProjectPath(window, garden_);
            Control<QPushButton>(window, "btnParse")->click();
            const auto words = ShownWords(window);
            QVERIFY(words.size() > 100);

            TypeProjectPath(window, typo);
            QCOMPARE(mesg.shown.size(), size_t(1));
            QCOMPARE(QString::fromStdString(mesg.shown[0].text),
                     QStringLiteral("The file \"%1\" does not exist.")
                         .arg(QString::fromStdString(typo)));
            QCOMPARE(mesg.shown[0].style, 0x40u);
            QCOMPARE(Control<QLineEdit>(window, "ebxSource")->text(),
                     QString::fromStdString(garden_));
            QCOMPARE(Control<QListWidget>(window, "lbxFiles")->count(), 14);
            QCOMPARE(Control<QLabel>(window, "lblHhkValue")->text(), QStringLiteral(" Garden.hhk"));
            QCOMPARE(ShownWords(window), words);
            QVERIFY(Control<QPushButton>(window, "btnBuildIndex")->isEnabled());

            // Another project typed but not entered: the builds still write the open one's files
            // beside it, and the box names it again.
            window.Session().MapMode = MapMode::AliasFiles;
            window.UpdateMapControls();
            Control<QLineEdit>(window, "ebxSource")->setText(QString::fromStdString(other));
            Control<QPushButton>(window, "btnBuildIndex")->click();
            QCOMPARE(Control<QLineEdit>(window, "ebxSource")->text(),
                     QString::fromStdString(garden_));
            Control<QLineEdit>(window, "ebxSource")->setText(QString::fromStdString(other));
            Control<QPushButton>(window, "btnBuildMap")->click();
            QVERIFY(fs::exists(projects_->Path() / "garden/Garden.hhk"));
            QVERIFY(fs::exists(projects_->Path() / "garden/Garden_alias.h"));
            int inOther = 0;
            for ([[maybe_unused]] const auto& entry :
                 fs::directory_iterator(projects_->Path() / "other")) {
                ++inOther;
            }
            QCOMPARE(inOther, 1);  // Other.hhp alone
            QCOMPARE(mesg.shown.size(), size_t(1));

            // Closing with the other path still typed keeps the open project on the list.
            Control<QLineEdit>(window, "ebxSource")->setText(QString::fromStdString(other));
            window.close();
        }
        TfrmMain again;
        again.FormCreate();
        QCOMPARE(Control<QLineEdit>(again, "ebxSource")->text(), QString::fromStdString(garden_));
        QCOMPARE(int(again.Session().MapMode), 2);
        again.close();
    }

    // A project handed over by a later start or the command line, or dropped on the window,
    // opens as one typed and entered does; what is no project is refused and changes nothing.
    void projectsOpenFromOutside() {
        ScriptedMesg mesg;
        const std::string other = projects_->Write("other/OTHER.HHP",
                                                   "[OPTIONS]\r\nIndex file=Other.hhk\r\n"
                                                   "[FILES]\r\nother.htm\r\n");
        const std::string text = projects_->Write("other/notes.txt", "[FILES]\r\na.htm\r\n");
        TfrmMain window;
        window.FormCreate();
        TypeProjectPath(window, garden_);
        QLineEdit* source = Control<QLineEdit>(window, "ebxSource");
        auto reOpensIn = [](const TfrmMain& in, const std::string& path) {
            for (QAction* item :
                 in.findChildren<QAction*>(QRegularExpression(QStringLiteral("^mru1\\d$")))) {
                if (item->isVisible() && item->data().toByteArray().toStdString() == path)
                    return true;
            }
            return false;
        };
        auto reOpens = [&](const std::string& path) { return reOpensIn(window, path); };

        window.OpenProject(QString::fromStdString(other));
        QCOMPARE(source->text(), QString::fromStdString(other));
        QCOMPARE(Control<QListWidget>(window, "lbxFiles")->count(), 1);
        QVERIFY(reOpens(garden_));
        QCOMPARE(mesg.shown.size(), size_t(0));

        const std::string missing = (projects_->Path() / "other/Gone.hhp").string();
        window.OpenProject(QString::fromStdString(missing));
        window.OpenProject(QString::fromStdString(text));
        QCOMPARE(mesg.shown.size(), size_t(2));
        QCOMPARE(
            QString::fromStdString(mesg.shown[0].text),
            QStringLiteral("The file \"%1\" does not exist.").arg(QString::fromStdString(missing)));
        QVERIFY(QString::fromStdString(mesg.shown[1].text)
                    .contains(QStringLiteral("not an HTML Help project")));
        QCOMPARE(source->text(), QString::fromStdString(other));
        QCOMPARE(window.Session().ProjectFile(), other);

        // Drops: only local project files are taken, the first of them opens.
        QVERIFY(window.acceptDrops());
        auto urls = [](std::initializer_list<std::string> paths) {
            auto* data = new QMimeData;
            QList<QUrl> list;
            for (const std::string& path : paths)
                list << QUrl::fromLocalFile(QString::fromStdString(path));
            data->setUrls(list);
            return std::unique_ptr<QMimeData>(data);
        };
        auto enters = [&window](const QMimeData* data) {
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton,
                                  Qt::NoModifier);
            enter.ignore();
            QApplication::sendEvent(&window, &enter);
            return enter.isAccepted();
        };
        const auto notes = urls({text});
        QVERIFY(!enters(notes.get()));
        QVERIFY(enters(urls({other}).get()));  // OTHER.HHP: the extension in any letter case
        auto remote = std::make_unique<QMimeData>();
        remote->setUrls({QUrl(QStringLiteral("https://example.org/Help.hhp"))});
        QVERIFY(!enters(remote.get()));
        const auto both = urls({text, garden_, other});
        QVERIFY(enters(both.get()));
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, both.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(source->text(), QString::fromStdString(garden_));
        QCOMPARE(window.Session().ProjectFile(), garden_);
        QVERIFY(reOpens(other));
        QCOMPARE(mesg.shown.size(), size_t(2));

        // Handed over while a dialog is open: the project waits for the dialog, then opens.
        QDialog dialog(&window);
        dialog.setModal(true);
        dialog.show();
        window.OpenProject(QString::fromStdString(other));
        QTest::qWait(300);
        QCOMPARE(window.Session().ProjectFile(), garden_);
        dialog.close();
        QTRY_COMPARE(window.Session().ProjectFile(), other);
        window.close();

        // Named on the command line: that project opens, and the last one waits on the list.
        TfrmMain started;
        started.FormCreate(QString::fromStdString(garden_));
        QCOMPARE(started.Session().ProjectFile(), garden_);
        QVERIFY(reOpensIn(started, other));
        QCOMPARE(mesg.shown.size(), size_t(2));
        started.close();
    }

    // Pipes, devices and folders where a project, a list or the configuration should be: each is
    // refused at once with what it is, and the open project stays in charge.
    void pipesDevicesAndFoldersNeverHangTheWindow() {
        ScriptedMesg mesg;
        const fs::path tarnwickData = data_->Path() / "Tarnwick";
        fs::create_directories(tarnwickData / "Exclude_List");
        ASSERT_MKFIFO((tarnwickData / "Tarnwick.cfg").string());
        TfrmMain window;
        window.FormCreate();
        QCOMPARE(mesg.shown.size(), size_t(1));  // the configuration, once
        QVERIFY2(mesg.shown[0].text.find("named pipe") != std::string::npos,
                 mesg.shown[0].text.c_str());
        mesg.shown.clear();

        Control<QCheckBox>(window, "ckbBody")->setChecked(true);
        TypeProjectPath(window, garden_);
        QCOMPARE(Control<QListWidget>(window, "lbxFiles")->count(), 14);
        const std::string fifo = projects_->File("pipe.hhp");
        ASSERT_MKFIFO(fifo);
        const std::string zero = projects_->File("zero.hhp");
        QCOMPARE(::symlink("/dev/zero", zero.c_str()), 0);
        const std::pair<std::string, std::string> cases[] = {
            {fifo, "It is a named pipe, not a file."},
            {zero, "It is a device, not a file."},
            {projects_->Path().string(), "Is a directory"},
        };
        for (const auto& [path, reason] : cases) {
            mesg.shown.clear();
            TypeProjectPath(window, path);
            QCOMPARE(mesg.shown.size(), size_t(1));
            QCOMPARE(QString::fromStdString(mesg.shown[0].text),
                     QString::fromStdString("Cannot open file \"" + path + "\". " + reason));
            QCOMPARE(mesg.shown[0].style, 0x10u);
            QCOMPARE(Control<QLineEdit>(window, "ebxSource")->text(),
                     QString::fromStdString(garden_));
            QCOMPARE(Control<QListWidget>(window, "lbxFiles")->count(), 14);
        }

        // The default exclude list is a pipe: the parse says so and ends.
        fs::remove(tarnwickData / "Exclude_List/Default_Exclude_List.txt");
        ASSERT_MKFIFO((tarnwickData / "Exclude_List/Default_Exclude_List.txt").string());
        Control<QCheckBox>(window, "ckbDefaultExclude")->setChecked(true);
        QString parseMessage;
        window.TestHooks().ParseDialog = [&parseMessage](TdlgParse& dialog) {
            QObject::connect(
                &dialog, &TdlgParse::RunFinished, &dialog,
                [&dialog, &parseMessage]() {
                    parseMessage = dialog.lblMessage->text();
                    dialog.btnCancelDone->click();
                },
                Qt::QueuedConnection);
        };
        Control<QPushButton>(window, "btnParse")->click();
        QVERIFY2(parseMessage.contains(QStringLiteral("named pipe")), qPrintable(parseMessage));
        window.close();
    }

    // Closing the window, or a termination signal, while a parse or a build runs: the run is
    // stopped at its next page or word and ends as a cancel would, and only then does the window
    // close as Exit closes it. Closing at once emptied the word list under a running build.
    void closingDuringARunStopsTheRunFirst_data() {
        QTest::addColumn<bool>("build");
        QTest::addColumn<bool>("signal");
        QTest::newRow("close during parse") << false << false;
        QTest::newRow("close during build") << true << false;
        QTest::newRow("SIGTERM during parse") << false << true;
        QTest::newRow("SIGTERM during build") << true << true;
    }
    void closingDuringARunStopsTheRunFirst() {
        QFETCH(bool, build);
        QFETCH(bool, signal);
        ScriptedMesg mesg;
        const int closeAt = 3;
        bool openAfterTheRequest = false;
        QString caption;
        QString count;
        QString message;
        IndexEnd indexEnd = IndexEnd::Completed;
        int wordCount = 0;
        {
            TfrmMain window;
            CloseWhenDone(window);
            window.FormCreate();
            Control<QCheckBox>(window, "ckbBody")->setChecked(true);
            TypeProjectPath(window, garden_);
            window.setGeometry(30, 40, 600, 500);
            window.show();
            CloseOnTerminationSignals(&window);
            if (build) {
                Control<QPushButton>(window, "btnParse")->click();
                wordCount = static_cast<int>(window.Session().WordList.size());
                QVERIFY(wordCount > closeAt);
            }
            auto closeDuring = [&](TRunDialog& dialog) {
                QObject::connect(&dialog, &TRunDialog::Progressed, &dialog, [&](int position) {
                    if (position != closeAt) {
                        return;
                    }
                    if (signal) {
                        ::raise(SIGTERM);
                        QTRY_VERIFY(dialog.CancelWanted());
                    } else {
                        window.close();
                    }
                    openAfterTheRequest = window.isVisible() && dialog.Running();
                });
                QObject::connect(&dialog, &TRunDialog::RunFinished, &dialog, [&]() {
                    caption = dialog.btnCancelDone->text();
                    count = dialog.lblCount->text();
                    message = dialog.lblMessage->text();
                });
                // A dialog left up after its run would otherwise wait for a user.
                QObject::connect(
                    &dialog, &TRunDialog::RunFinished, &dialog,
                    [&dialog]() { dialog.btnCancelDone->click(); }, Qt::QueuedConnection);
            };
            window.TestHooks().ParseDialog = closeDuring;
            window.TestHooks().BuildDialog = [&](TdlgBuildNdx& dialog) {
                closeDuring(dialog);
                QObject::connect(&dialog, &TRunDialog::RunFinished, &dialog,
                                 [&]() { indexEnd = dialog.Result().Index; });
            };
            if (build) {
                Control<QPushButton>(window, "btnBuildIndex")->click();
            } else {
                Control<QPushButton>(window, "btnParse")->click();
            }
            QVERIFY(openAfterTheRequest);
            QVERIFY(!window.isVisible());
            QCOMPARE(caption, QStringLiteral("Canceled"));
            if (build) {
                QVERIFY(indexEnd == IndexEnd::Canceled);
                QCOMPARE(count, QString::fromStdString(BuildCountText(closeAt, wordCount, 14)));
                // The words written before the stop, then the file's proper end.
                const std::string hhk = Slurp(projects_->Path() / "garden/Garden.hhk");
                QVERIFY(hhk.ends_with("</UL>\r\n</BODY></HTML>"));
            } else {
                QCOMPARE(count, QStringLiteral("3 of 14 Topic Files Parsed"));
            }
            QVERIFY2(!message.contains(QStringLiteral("exception")), qPrintable(message));
            QVERIFY2(mesg.shown.empty(), mesg.shown.empty() ? "" : mesg.shown[0].text.c_str());
        }
        // Closed as Exit closes: the project and the placement were kept.
        TfrmMain again;
        again.FormCreate();
        QCOMPARE(Control<QLineEdit>(again, "ebxSource")->text(), QString::fromStdString(garden_));
        QVERIFY(Control<QCheckBox>(again, "ckbBody")->isChecked());
        QCOMPARE(again.geometry(), QRect(30, 40, 600, 500));
        again.close();
    }

    // A placement stored for a larger screen (or damaged) gives windows no larger than the
    // screen's available area, lying within it; before, 100000 x 100000 made a window of the
    // largest size the system allows.
    void storedPlacementsFitTheScreen() {
        ScriptedMesg mesg;
        TfrmMain window;
        {
            CConfig config(DataFolder(), mesg);
            for (int key : {kCfgMainPlacement, kCfgEditorPlacement, kCfgExportPlacement,
                            kCfgAliasMapPlacement}) {
                config.PutPlacement(key, 50000, -50000, 100000, 100000);
            }
        }
        const QRect area = AvailableRect();
        window.FormCreate();
        QVERIFY(area.contains(window.geometry()));
        QCOMPARE(window.geometry().size(), area.size());
        TfrmEdit editor(&window);
        QVERIFY(area.contains(editor.geometry()));
        QCOMPARE(editor.geometry().size(), area.size());
        TdlgExport exporter(&window);
        QVERIFY(area.contains(exporter.geometry()));
        TdlgAliasMap aliasMap(window.Session(), &window);
        QVERIFY(area.contains(aliasMap.geometry()));
        QVERIFY(mesg.shown.empty());
        window.close();
    }

private:
    std::unique_ptr<TempFolder> data_;
    std::unique_ptr<TempFolder> projects_;
    std::string garden_;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
