// How the desktop program answers while it works on a large project: the main window opens the
// project, parses it with every page part ticked and builds the index, as a user would, under
// the offscreen platform. A 10 ms timer in each progress dialog records every gap in the event
// loop; a third run presses Cancel half a second into the parse and measures how long the run
// takes to stop. Prints the gaps (largest, 99th percentile, how many over 100 ms) per run.
// Between the parse and the build it shows the words in details mode, sorts them by their
// topic counts and back by word, and scrolls the table, timing each step as the user waits it.
// Before the parse and the build, Exclude Common Words is opened and each share typed into it timed
// until its preview shows.
//
// Usage: tarnwick-bench-gui PROJECT.hhp   (writes the project's .hhk; a data folder of its own)
// With TARNWICK_BENCH_STEPS set, also prints which pages the parse had reached, every 40 ms.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

#include "ui/dialog_build_index.h"
#include "ui/dialog_common_words.h"
#include "ui/dialog_parse.h"
#include "ui/main_window.h"
#include "ui/word_view_model.h"

namespace tarnwick {
namespace {

// A control of the window, by the object name the window gives it.
template <class T>
T* Control(const QObject& window, const char* name) {
    T* control = window.findChild<T*>(QLatin1String(name));
    if (!control) {
        std::fprintf(stderr, "no control named %s\n", name);
        std::exit(1);
    }
    return control;
}

// Gaps between the ticks of a 10 ms timer that lives as long as one dialog.
class GapRecorder {
public:
    void Watch(QWidget& dialog) {
        auto* ticker = new QTimer(&dialog);
        ticker->setInterval(10);
        QObject::connect(ticker, &QTimer::timeout, &dialog, [this] {
            const qint64 gap = sinceTick_.restart();
            gaps_.push_back(gap);
            if (gap > 50) {
                long_.push_back({sinceStart_.elapsed() - gap, gap});
            }
        });
        sinceTick_.start();
        sinceStart_.start();
        ticker->start();
    }

    void Print(const char* what, double seconds) const {
        std::vector<qint64> gaps = gaps_;
        std::sort(gaps.begin(), gaps.end());
        const qint64 largest = gaps.empty() ? 0 : gaps.back();
        const qint64 p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
        const auto over = std::count_if(gaps.begin(), gaps.end(), [](qint64 g) { return g > 100; });
        std::printf(
            "%-28s %8.2f s %8zu ticks   largest gap %4lld ms   99%% %4lld ms   >100 ms: %ld\n",
            what, seconds, gaps.size(), static_cast<long long>(largest),
            static_cast<long long>(p99), static_cast<long>(over));
        for (const auto& [at, gap] : long_) {
            std::printf("    gap of %lld ms from %.2f s\n", static_cast<long long>(gap),
                        at / 1000.0);
        }
    }

private:
    QElapsedTimer sinceTick_;
    QElapsedTimer sinceStart_;
    std::vector<qint64> gaps_;
    std::vector<std::pair<qint64, qint64>> long_;  // gaps over 50 ms: start, length
};

// Presses the dialog's button once its run has ended, as the user closing it would.
template <class Dialog>
void CloseWhenDone(Dialog& dialog) {
    QObject::connect(
        &dialog, &Dialog::RunFinished, &dialog, [&dialog] { dialog.btnCancelDone->click(); },
        Qt::QueuedConnection);
}

// The details table on every word: switching to it, sorting by count (most first) and back by
// word, each until painted, and scrolling it, line by line and in jumps across the whole table.
void DetailsMode(TfrmMain& window) {
    QElapsedTimer clock;
    auto* table = Control<QTreeView>(window, "lvwIndex");
    const auto untilPainted = [&] {
        QApplication::processEvents();
        table->viewport()->repaint();
        return clock.elapsed();
    };
    clock.start();
    Control<QComboBox>(window, "cboIndexView")->setCurrentIndex(1);
    std::printf("%-28s %8lld ms\n", "details: switch to", static_cast<long long>(untilPainted()));
    clock.restart();
    table->header()->setSortIndicator(1, Qt::DescendingOrder);
    std::printf("%-28s %8lld ms\n", "details: sort by count",
                static_cast<long long>(untilPainted()));
    clock.restart();
    table->header()->setSortIndicator(2, Qt::AscendingOrder);
    std::printf("%-28s %8lld ms\n", "details: sort by first topic",
                static_cast<long long>(untilPainted()));
    clock.restart();
    table->header()->setSortIndicator(0, Qt::AscendingOrder);
    std::printf("%-28s %8lld ms\n", "details: sort by word",
                static_cast<long long>(untilPainted()));
    table->header()->setSortIndicator(1, Qt::DescendingOrder);
    QApplication::processEvents();

    QScrollBar* bar = table->verticalScrollBar();
    std::vector<qint64> steps;
    const auto step = [&](int value) {
        clock.restart();
        bar->setValue(value);
        steps.push_back(untilPainted());
    };
    for (int line = 1; line <= 200; ++line) {
        step(line * 3);
    }
    constexpr int kJumps = 200;
    for (int jump = 0; jump <= kJumps; ++jump) {
        step(static_cast<int>(static_cast<long long>(bar->maximum()) * jump / kJumps));
    }
    std::sort(steps.begin(), steps.end());
    std::printf("%-28s %8zu steps   largest %4lld ms   median %4lld ms\n", "details: scroll",
                steps.size(), static_cast<long long>(steps.back()),
                static_cast<long long>(steps[steps.size() / 2]));
    Control<QComboBox>(window, "cboIndexView")->setCurrentIndex(0);
    QApplication::processEvents();
}

int Run(const char* project) {
    TfrmMain window;
    window.FormCreate();
    window.show();
    Control<QLineEdit>(window, "ebxSource")->clear();
    QTest::keyClicks(Control<QLineEdit>(window, "ebxSource"), QString::fromLocal8Bit(project));
    GapRecorder openGaps;
    openGaps.Watch(window);
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(Control<QLineEdit>(window, "ebxSource"), Qt::Key_Return);
    QTest::qWait(500);
    openGaps.Print("open project, 0.5 s after", clock.elapsed() / 1000.0);
    std::printf("%-28s %8d\n", "topic files", Control<QListWidget>(window, "lbxFiles")->count());
    for (QCheckBox* box :
         {Control<QCheckBox>(window, "ckbBody"), Control<QCheckBox>(window, "ckbTitle"),
          Control<QCheckBox>(window, "ckbKeyWords"),
          Control<QCheckBox>(window, "ckbDescription")}) {
        box->setChecked(true);
    }

    GapRecorder parseGaps;
    std::vector<std::pair<qint64, int>> steps;  // (ms since the parse began, files done)
    QElapsedTimer sinceParse;
    window.TestHooks().ParseDialog = [&](TdlgParse& dialog) {
        parseGaps.Watch(dialog);
        sinceParse.start();
        QObject::connect(&dialog, &TdlgParse::Progressed, &dialog, [&](int position) {
            steps.push_back({sinceParse.elapsed(), position});
        });
        QObject::connect(&dialog, &TdlgParse::RunFinished, &dialog, [&dialog] {
            if (!dialog.Error().empty()) {
                std::fprintf(stderr, "parse: %s\n", dialog.Error().c_str());
            }
        });
        CloseWhenDone(dialog);
    };
    clock.restart();
    Control<QPushButton>(window, "btnParse")->click();
    parseGaps.Print("parse", clock.elapsed() / 1000.0);
    std::printf("%-28s %8zu\n", "  words shown", window.IndexModel()->Words().size());
    if (std::getenv("TARNWICK_BENCH_STEPS")) {
        // Which pages were merged around the slowest stretches: the files done, every 40 ms.
        qint64 last = -1000;
        for (const auto& [at, position] : steps) {
            if (at - last >= 40) {
                std::printf(
                    "    %6lld ms  %6d files  %s\n", static_cast<long long>(at), position,
                    window.Session().Project().Files[static_cast<size_t>(position - 1)].c_str());
                last = at;
            }
        }
    }
    if (window.IndexModel()->Words().empty()) {
        std::fprintf(stderr, "no words: is the project right?\n");
        return 1;
    }

    DetailsMode(window);

    GapRecorder buildGaps;
    window.TestHooks().BuildDialog = [&](TdlgBuildNdx& dialog) {
        buildGaps.Watch(dialog);
        CloseWhenDone(dialog);
    };
    clock.restart();
    Control<QPushButton>(window, "btnBuildIndex")->click();
    buildGaps.Print("build index", clock.elapsed() / 1000.0);

    // Exclude Common Words: how long the dialog takes to open, and each share typed into it
    // (digit by digit, as a user types "5", "50", "1", "10") until its preview is shown.
    GapRecorder shareGaps;
    qint64 openTime = -1;
    // (share, words shown, ms until its preview was shown)
    std::vector<std::tuple<int, int, qint64>> shareTimes;
    window.TestHooks().CommonWordsDialog = [&](TdlgCommonWords& dialog) {
        openTime = clock.elapsed();
        shareGaps.Watch(dialog);
        QTimer::singleShot(0, &dialog, [&] {
            QElapsedTimer typing;
            QTest::keyClick(dialog.spnShare, Qt::Key_A, Qt::ControlModifier);
            for (const char* typed : {"5", "0", "\b\b1", "0", "\b\b50"}) {
                for (const char* key = typed; *key; ++key) {
                    typing.restart();
                    if (*key == '\b') {
                        QTest::keyClick(dialog.spnShare, Qt::Key_Backspace);
                    } else {
                        QTest::keyClicks(dialog.spnShare, QString(QLatin1Char(*key)));
                    }
                    QCoreApplication::processEvents();
                    shareTimes.push_back(
                        {dialog.spnShare->value(), dialog.Model()->rowCount(), typing.elapsed()});
                }
            }
            typing.restart();
            dialog.tblWords->sortByColumn(CommonWordsModel::kWordColumn, Qt::AscendingOrder);
            QCoreApplication::processEvents();
            std::printf("%-28s %8lld ms\n", "  sorted by word",
                        static_cast<long long>(typing.elapsed()));
            dialog.btnCancel->click();
        });
    };
    clock.restart();
    window.mnuCommonWordsClick();
    shareGaps.Print("exclude common words", clock.elapsed() / 1000.0);
    std::printf("%-28s %8lld ms\n", "  dialog open", static_cast<long long>(openTime));
    for (const auto& [share, words, ms] : shareTimes) {
        std::printf("    share %3d %%  %7d words  %5lld ms\n", share, words,
                    static_cast<long long>(ms));
    }

    GapRecorder cancelGaps;
    QElapsedTimer sinceCancel;
    qint64 cancelLatency = -1;
    window.TestHooks().ParseDialog = [&](TdlgParse& dialog) {
        cancelGaps.Watch(dialog);
        QTimer::singleShot(500, &dialog, [&] {
            sinceCancel.start();
            dialog.btnCancelDone->click();
        });
        QObject::connect(&dialog, &TdlgParse::RunFinished, &dialog, [&] {
            cancelLatency = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
        });
        CloseWhenDone(dialog);
    };
    clock.restart();
    Control<QPushButton>(window, "btnParse")->click();
    cancelGaps.Print("parse canceled at 0.5 s", clock.elapsed() / 1000.0);
    std::printf("%-28s %8lld ms\n", "  Cancel to stopped", static_cast<long long>(cancelLatency));
    window.close();
    return 0;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PROJECT.hhp\n", argv[0]);
        return 2;
    }
    // The settings, lists and recent projects of this run stay in a folder of its own.
    QTemporaryDir data;
    if (!data.isValid() || !qputenv("XDG_DATA_HOME", data.path().toLocal8Bit())) {
        std::fprintf(stderr, "no temporary data folder\n");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    return tarnwick::Run(argv[1]);
}
