// Exclude Common Words through the main window's real handlers, on the garden example (14
// topics, all four page parts): the preview at a share that one count hits exactly, its sorting
// and ticks across shares, Cancel, a save that fails and a move into a chosen list.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/faulty_file_system.h"
#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "common/word_sets.h"
#include "find_control.h"
#include "support/ansi_case.h"
#include "support/message.h"
#include "support/word_compare.h"
#include "ui/dialog_build_index.h"
#include "ui/dialog_common_words.h"
#include "ui/dialog_parse.h"
#include "ui/main_window.h"
#include "ui/word_view_model.h"

using namespace tarnwick;
using tarnwick::testing::Control;
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::Slurp;
using tarnwick::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

// The preview as shown: word (the word list's bytes) and topic count, in row order.
std::vector<std::pair<std::string, unsigned>> Preview(const TdlgCommonWords& dialog) {
    std::vector<std::pair<std::string, unsigned>> rows;
    const CommonWordsModel& model = *dialog.Model();
    for (int row = 0; row < model.rowCount(); ++row) {
        rows.emplace_back(std::string(model.Word(row)), model.Topics(row));
    }
    return rows;
}

int RowOf(const CommonWordsModel& model, std::string_view word) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.Word(row) == word) {
            return row;
        }
    }
    return -1;
}

bool Shown(const TfrmMain& window, const std::string& word) {
    const auto& words = window.IndexModel()->Words();
    return std::find(words.begin(), words.end(), word) != words.end();
}

}  // namespace

class CommonWordsTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        data_ = std::make_unique<TempFolder>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data_->Path().string()));
        projects_ = std::make_unique<TempFolder>();
        fs::copy(fs::path(TARNWICK_SOURCE_DIR) / "examples/garden", projects_->Path() / "garden",
                 fs::copy_options::recursive);
    }
    void cleanup() {
        projects_.reset();
        data_.reset();
    }

    void previewCancelFailedSaveAndMove() {
        ScriptedMesg mesg;
        TfrmMain window;
        window.TestHooks().ParseDialog = [](TdlgParse& dialog) {
            QObject::connect(
                &dialog, &TdlgParse::RunFinished, &dialog,
                [&dialog]() { dialog.btnCancelDone->click(); }, Qt::QueuedConnection);
        };
        const fs::path mine = data_->Path() / "Tarnwick/Exclude_List/Mine.txt";
        { std::ofstream(mine, std::ios::binary) << "zzz\r\n"; }
        window.FormCreate();

        // Nothing parsed: said so, and no dialog.
        bool opened = false;
        window.TestHooks().CommonWordsDialog = [&](TdlgCommonWords&) { opened = true; };
        window.mnuCommonWordsClick();
        QVERIFY(!opened);
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(mesg.shown[0].style, unsigned(kMbInformation));
        mesg.shown.clear();

        for (const char* box : {"ckbBody", "ckbTitle", "ckbDescription", "ckbKeyWords"}) {
            Control<QCheckBox>(window, box)->setChecked(true);
        }
        QLineEdit* source = Control<QLineEdit>(window, "ebxSource");
        source->setText(QString::fromStdString((projects_->Path() / "garden/Garden.hhp").string()));
        window.ebxSourceKeyPress();
        Control<QPushButton>(window, "btnParse")->click();
        const std::vector<std::string> parsed = window.IndexModel()->Words();
        QVERIFY(parsed.size() > 100);

        // The words found in more than 7 of the 14 topics, from the word list itself.
        std::map<std::string, unsigned> common;
        for (const TIndexEntry& entry : window.Session().WordList) {
            if (entry.Files.size() * 2 > 14) {
                common.emplace(entry.Word, static_cast<unsigned>(entry.Files.size()));
            }
        }
        QVERIFY(common.size() > 10);
        const TIndexEntry* atShare =
            tarnwick::testing::FindEntry(window.Session().WordList, "list");
        QVERIFY(atShare != nullptr);
        QCOMPARE(atShare->Files.size(), size_t(7));

        // The preview at 50 %, by count and by word; ticks kept across shares; then Cancel.
        std::vector<std::pair<std::string, unsigned>> byCount, byWord;
        int atNinety = -1;
        bool gardenStaysUnticked = false;
        window.TestHooks().CommonWordsDialog = [&](TdlgCommonWords& dialog) {
            QTimer::singleShot(0, &dialog, [&]() {
                const auto closing = qScopeGuard([&dialog]() { dialog.btnCancel->click(); });
                QCOMPARE(dialog.spnShare->value(), 50);
                byCount = Preview(dialog);
                CommonWordsModel& model = *dialog.Model();
                const int garden = RowOf(model, "garden");
                QVERIFY(garden >= 0);
                model.setData(model.index(garden, 0), Qt::Unchecked, Qt::CheckStateRole);
                dialog.spnShare->setValue(90);
                atNinety = model.rowCount();
                dialog.spnShare->setValue(50);
                dialog.tblWords->sortByColumn(CommonWordsModel::kWordColumn, Qt::AscendingOrder);
                byWord = Preview(dialog);
                gardenStaysUnticked = model.data(model.index(RowOf(model, "garden"), 0),
                                                 Qt::CheckStateRole) == Qt::Unchecked &&
                                      model.TickedCount() == model.rowCount() - 1;
                dialog.spnShare->setValue(60);  // remembered for the next time
            });
        };
        window.mnuCommonWordsClick();
        QCOMPARE(byCount.size(), common.size());
        for (size_t i = 0; i < byCount.size(); ++i) {
            QCOMPARE(byCount[i].second, common.at(byCount[i].first));
            QVERIFY(i == 0 || byCount[i - 1].second >= byCount[i].second);
        }
        QCOMPARE(atNinety, int(std::count_if(common.begin(), common.end(),
                                             [](const auto& c) { return c.second * 10 > 126; })));
        QCOMPARE(byWord.size(), common.size());
        for (size_t i = 1; i < byWord.size(); ++i) {
            QVERIFY(WordCollator::For(1252).Less(byWord[i - 1].first, byWord[i].first));
        }
        QVERIFY(gardenStaysUnticked);
        QCOMPARE(window.IndexModel()->Words(), parsed);
        QCOMPARE(Slurp(mine), std::string("zzz\r\n"));

        // A save that fails: the error shown, the dialog still up, the view and the list as
        // they were. Then the move itself, without the unticked word, into the chosen list.
        tarnwick::testing::TFaultyFileSystem faulty;
        faulty.TemporaryError = ENOSPC;
        window.TestHooks().ListFileSystem = &faulty;
        bool stayedUp = false;
        int startShare = 0;
        size_t moved = 0;
        window.TestHooks().CommonWordsDialog = [&](TdlgCommonWords& dialog) {
            QTimer::singleShot(0, &dialog, [&]() {
                const auto closing = qScopeGuard([&dialog]() { dialog.btnCancel->click(); });
                startShare = dialog.spnShare->value();
                dialog.spnShare->setValue(50);
                CommonWordsModel& model = *dialog.Model();
                model.setData(model.index(RowOf(model, "garden"), 0), Qt::Unchecked,
                              Qt::CheckStateRole);
                dialog.cboList->setCurrentIndex(dialog.cboList->findText("Mine.txt"));
                dialog.btnMove->click();
                stayedUp = dialog.isVisible();
            });
        };
        window.mnuCommonWordsClick();
        QVERIFY(stayedUp);
        QCOMPARE(startShare, 60);
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(mesg.shown[0].style, unsigned(kMbError));
        QCOMPARE(window.IndexModel()->Words(), parsed);
        QCOMPARE(Slurp(mine), std::string("zzz\r\n"));

        window.TestHooks().ListFileSystem = nullptr;
        window.TestHooks().CommonWordsDialog = [&](TdlgCommonWords& dialog) {
            QTimer::singleShot(0, &dialog, [&]() {
                const auto closing = qScopeGuard([&dialog]() {
                    if (dialog.isVisible()) {
                        dialog.btnCancel->click();
                    }
                });
                CommonWordsModel& model = *dialog.Model();
                model.setData(model.index(RowOf(model, "garden"), 0), Qt::Unchecked,
                              Qt::CheckStateRole);
                moved = static_cast<size_t>(model.TickedCount());
                dialog.cboList->setCurrentIndex(dialog.cboList->findText("Mine.txt"));
                dialog.btnMove->click();
            });
        };
        window.mnuCommonWordsClick();
        QCOMPARE(mesg.shown.size(), size_t(1));
        QCOMPARE(moved, common.size() - 1);
        QCOMPARE(window.IndexModel()->Words().size(), parsed.size() - moved);
        const std::string list = Slurp(mine);
        for (const auto& [word, topics] : common) {
            const std::string lower = LowerCase(word, WordCollator::For(1252).CodePage());
            QCOMPARE(Shown(window, word), word == "garden");
            QCOMPARE(list.find("\r\n" + lower + "\r\n") != std::string::npos ||
                         list.starts_with(lower + "\r\n"),
                     word != "garden");
        }
        QVERIFY(list.find("Software") == std::string::npos);  // lower-cased
        QVERIFY(Shown(window, atShare->Word));
    }

private:
    std::unique_ptr<TempFolder> data_;
    std::unique_ptr<TempFolder> projects_;
};

QTEST_MAIN(CommonWordsTest)
#include "dialog_common_words_test.moc"
