// The about box: its texts, lettering and picture, the link that opens the web site (and the
// box that says when no browser could be started), and the main window's menu command.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "find_control.h"
#include "ui/dialog_about.h"
#include "ui/main_window.h"

using namespace tarnwick;
using tarnwick::testing::Control;
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::TempFolder;

class AboutDialogTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheProgramsTextsAndPicture() {
        ScriptedMesg mesg;
        TdlgAbout dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("About Tarnwick"));
        QCOMPARE(dialog.lblTitle->text(), QStringLiteral("Tarnwick"));
        QCOMPARE(dialog.lblDescription->text(), QStringLiteral("HTML Index Builder"));
        QCOMPARE(dialog.lblVersion->text(), QStringLiteral("Version 2.0.0.29"));
        QCOMPARE(dialog.lblBy->text(), QStringLiteral("by"));
        QCOMPARE(dialog.lblFernhollow->text(), QStringLiteral("Fernhollow Software"));
        QCOMPARE(dialog.lblTitle->font().pixelSize(), 16);
        QCOMPARE(dialog.lblDescription->font().pixelSize(), 15);
        QCOMPARE(dialog.lblFernhollow->font().pixelSize(), 15);
        QCOMPARE(dialog.lblLegal->text(), TdlgAbout::LegalNotice());
        QCOMPARE(TdlgAbout::LegalNotice().count(QLatin1Char('\n')), 1);  // two lines
        QVERIFY(dialog.lblDotCom->text().contains(TdlgAbout::WebAddress().toString()));
        QVERIFY(TdlgAbout::WebAddress().isValid());

        // The compiled-in picture, and a box that cannot be resized.
        QVERIFY(!dialog.imgLogo->pixmap().isNull());
        QCOMPARE(dialog.imgLogo->pixmap().deviceIndependentSize().toSize(), QSize(150, 129));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(dialog.width() >= 362 && dialog.height() >= 229);
        QVERIFY(dialog.btnOk->isDefault());
        QVERIFY(mesg.shown.empty());
    }

    void theLinkOpensTheWebSite_data() {
        QTest::addColumn<bool>("browserStarts");
        QTest::newRow("browser starts") << true;
        QTest::newRow("no browser") << false;
    }
    void theLinkOpensTheWebSite() {
        QFETCH(bool, browserStarts);
        ScriptedMesg mesg;
        TdlgAbout dialog;
        QList<QUrl> opened;
        dialog.UrlOpener = [&](const QUrl& url) {
            opened << url;
            return browserStarts;
        };
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::mouseClick(dialog.lblDotCom, Qt::LeftButton, {}, dialog.lblDotCom->rect().center());
        QCOMPARE(opened, QList<QUrl>({TdlgAbout::WebAddress()}));
        if (browserStarts) {
            QVERIFY(mesg.shown.empty());
        } else {
            QCOMPARE(mesg.shown.size(), size_t(1));
            QCOMPARE(mesg.shown[0].text, std::string("Unable to open browser."));
            QCOMPARE(mesg.shown[0].caption, std::string("Error"));
            QCOMPARE(mesg.shown[0].style, 0x00u);
        }
        QVERIFY(dialog.isVisible());
        // Enter after the click presses OK; it does not open the site again.
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        QCOMPARE(opened.size(), 1);
        QVERIFY(!dialog.isVisible());
    }

    void mainWindowOpensTheBox() {
        TempFolder data;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.Path().string()));
        ScriptedMesg mesg;
        TfrmMain window;
        bool shown = false;
        QTimer::singleShot(0, [&]() {
            auto* dialog = qobject_cast<TdlgAbout*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            shown = dialog->isVisible();
            QTest::keyClick(dialog, Qt::Key_Return);  // OK is the default button
        });
        Control<QAction>(window, "mnuAbout")->trigger();
        QVERIFY(shown);
        QVERIFY(mesg.shown.empty());
        qunsetenv("XDG_DATA_HOME");
    }
};

QTEST_MAIN(AboutDialogTest)
#include "dialog_about_test.moc"
