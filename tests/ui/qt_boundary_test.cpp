// The Qt side of the platform layer: text at the boundary, the word view's model and the
// single-instance rule.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/qt/single_instance.h"
#include "support/word_compare.h"
#include "ui/qt_text.h"
#include "ui/word_view_model.h"

using namespace tarnwick;

class QtBoundaryTest : public QObject {
    Q_OBJECT
private slots:
    void everyByteSurvivesTheBoundary() {
        std::string all;
        for (int b = 0; b < 256; ++b)
            all.push_back(static_cast<char>(b));
        const TCodePage& windows1252 = TCodePage::Windows1252();
        const QString shown = ToQt(all, windows1252);
        QCOMPARE(shown.size(), 256);
        QCOMPARE(shown.at(0x80), QChar(0x20AC));
        const auto back = FromQt(shown, windows1252);
        QVERIFY(back.has_value());
        QVERIFY(*back == all);
        QVERIFY(!FromQt(QStringLiteral("\u4E2D"), windows1252).has_value());
        // A project's code page: Cyrillic letters, and lead bytes without their trail byte.
        const TCodePage& cyrillic = TCodePage::For(1251);
        QCOMPARE(ToQt("\xD0\xEE\xE7\xFB", cyrillic), QStringLiteral("\u0420\u043E\u0437\u044B"));
        QVERIFY(!FromQt(QStringLiteral("\u00E9"), cyrillic).has_value());
        for (int number : {1251, 932}) {
            const TCodePage& page = TCodePage::For(number);
            const auto again = FromQt(ToQt(all, page), page);
            QVERIFY2(again && *again == all, qPrintable(QString::number(number)));
        }
    }

    void pathsAreFileNamesNotWindowsText() {
        const std::string path = "/tmp/caf\xC3\xA9/Proj.hhp";  // a UTF-8 file name
        QCOMPARE(PathToQt(path), QStringLiteral("/tmp/caf\u00E9/Proj.hhp"));
        QVERIFY(PathFromQt(PathToQt(path)) == path);
    }

    void wordViewSortsWithTheWordComparisonAndRemovesRows() {
        WordViewModel model;
        model.Append({"zebra", "\xC4pfel", "apple", "Apple2"});
        model.Append({"Banana"});
        QCOMPARE(model.rowCount(), 5);
        model.Sort();
        const std::vector<std::string> sorted = {"apple", "Apple2", "Banana", "zebra", "\xC4pfel"};
        QVERIFY(model.Words() != sorted);  // Ä sorts with A, not after z
        const std::vector<std::string> expected = {"\xC4pfel", "apple", "Apple2", "Banana",
                                                   "zebra"};
        QVERIFY(model.Words() == expected);
        QCOMPARE(model.data(model.index(0), Qt::DisplayRole).toString(),
                 QStringLiteral("\u00C4pfel"));
        model.RemoveRows({4, 0, 1});
        const std::vector<std::string> left = {"Apple2", "Banana"};
        QVERIFY(model.Words() == left);

        // A Windows-1251 project's words, Дэй, ваза, Zebra, База: Latin before Cyrillic, Cyrillic
        // in its alphabet's order (read as Windows-1252, all three would sort among the A's).
        model.Clear();
        model.SetCollator(WordCollator::For(1251));
        model.Append({"\xC4\xFD\xE9", "\xE2\xE0\xE7\xE0", "Zebra", "\xC1\xE0\xE7\xE0"});
        model.Sort();
        const std::vector<std::string> cyrillic = {"Zebra", "\xC1\xE0\xE7\xE0", "\xE2\xE0\xE7\xE0",
                                                   "\xC4\xFD\xE9"};
        QVERIFY(model.Words() == cyrillic);
        QCOMPARE(model.data(model.index(3), Qt::DisplayRole).toString(), QStringLiteral("Дэй"));
    }

    void aSecondStartActivatesTheFirst() {
        QTemporaryDir runtime;
        TSingleInstance first(runtime.path());
        QVERIFY(first.Claim());
        QSignalSpy activated(&first, &TSingleInstance::ActivateRequested);
        // The second start blocks while it talks to the first, so run it on another thread
        // while this one serves the first instance's socket.
        bool secondClaimed = true;
        std::thread second([&]() {
            TSingleInstance other(runtime.path());
            secondClaimed = other.Claim();
        });
        QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 1, 5000);
        second.join();
        QVERIFY(!secondClaimed);

        // A start given a project hands its path over: opened first, then brought to the front.
        QSignalSpy opened(&first, &TSingleInstance::OpenRequested);
        const QString project = QStringLiteral("/tmp/caf\u00E9 & co\n%41/Proj.hhp");
        std::thread third([&]() {
            TSingleInstance other(runtime.path());
            secondClaimed = other.Claim(project);
        });
        QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 2, 5000);
        third.join();
        QVERIFY(!secondClaimed);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][0].toString(), project);
    }

    // Requests as they arrive, one line each: the bare "activate" of older starts keeps working;
    // anything else is passed over.
    void requestsFromLaterStarts() {
        QTemporaryDir runtime;
        TSingleInstance first(runtime.path());
        QSignalSpy activated(&first, &TSingleInstance::ActivateRequested);
        QSignalSpy opened(&first, &TSingleInstance::OpenRequested);
        QSignalSpy viewed(&first, &TSingleInstance::ViewRequested);
        first.HandleRequest("activate");
        first.HandleRequest("open %2Fhome%2Fa%20b%2FP.hhp");
        first.HandleRequest("open ");
        first.HandleRequest("view %2Fp%2FQ.hhp");
        first.HandleRequest("view ");
        first.HandleRequest("activated");
        first.HandleRequest("close");
        QCOMPARE(activated.count(), 1);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][0].toString(), QStringLiteral("/home/a b/P.hhp"));
        QCOMPARE(viewed.count(), 1);
        QCOMPARE(viewed[0][0].toString(), QStringLiteral("/p/Q.hhp"));
    }

    // --view asks for the project's compiled help, wherever it stands before a "--".
    void theCommandLineAsksToViewTheCompiledHelp() {
        const QString program = QStringLiteral("tarnwick");
        const QString view = QStringLiteral("--view");
        const QString project = QStringLiteral("P.hhp");
        QVERIFY(ViewRequestedOn({program, project, view}));
        QVERIFY(ViewRequestedOn({program, view, project}));
        QCOMPARE(ProjectToOpen({program, view, project}, QStringLiteral("/w")),
                 QStringLiteral("/w/P.hhp"));
        QVERIFY(!ViewRequestedOn({program, project}));
        QVERIFY(!ViewRequestedOn({program, QStringLiteral("--"), view}));  // a file named so
    }

    void theCommandLineNamesTheProjectToOpen_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("project");
        QTest::newRow("none") << QStringList{} << QString();
        QTest::newRow("absolute") << QStringList{QStringLiteral("/p/Help.HHP")}
                                  << QStringLiteral("/p/Help.HHP");
        QTest::newRow("relative") << QStringList{QStringLiteral("../docs/./Help.hhp")}
                                  << QStringLiteral("/home/u/docs/Help.hhp");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--frobnicate"), QStringLiteral("Help.hhp")}
            << QStringLiteral("/home/u/work/Help.hhp");
        QTest::newRow("only an option") << QStringList{QStringLiteral("-x")} << QString();
        QTest::newRow("after --") << QStringList{QStringLiteral("--"), QStringLiteral("-a.hhp")}
                                  << QStringLiteral("/home/u/work/-a.hhp");
    }
    void theCommandLineNamesTheProjectToOpen() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, project);
        arguments.prepend(QStringLiteral("tarnwick"));
        QCOMPARE(ProjectToOpen(arguments, QStringLiteral("/home/u/work")), project);
    }
};

QTEST_MAIN(QtBoundaryTest)
#include "qt_boundary_test.moc"
