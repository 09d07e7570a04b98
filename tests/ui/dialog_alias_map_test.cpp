// The alias/map options dialog over a real main window: its enabling rules, the window list with
// a stale name, the initial ID box, OK and Cancel, Help, and the main window's refresh after OK.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "find_control.h"
#include "ui/dialog_alias_map.h"
#include "ui/help.h"
#include "ui/help_viewer.h"
#include "ui/main_window.h"

using namespace tarnwick;
using tarnwick::testing::Control;
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::TempFolder;

namespace {

// Types the text key by key, as a keyboard with any layout would; QTest::keyClicks takes
// Latin-1 only.
void TypeText(QWidget* box, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The window list and the initial ID box, each with its label.
void CheckEnabling(const TdlgAliasMap& dialog, bool window, bool initialId) {
    QCOMPARE(dialog.cboWindow->isEnabled(), window);
    QCOMPARE(dialog.lblWindow->isEnabled(), window);
    QCOMPARE(dialog.ebxInitialId->isEnabled(), initialId);
    QCOMPARE(dialog.lblInitialId->isEnabled(), initialId);
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

}  // namespace

class AliasMapDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        data_ = std::make_unique<TempFolder>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data_->Path().string()));
        mesg_ = std::make_unique<ScriptedMesg>();
        window_ = std::make_unique<TfrmMain>();
        // A project that defines two windows.
        window_->Session().Open(data_->Write(
            "Windows.hhp", "[WINDOWS]\r\nmain=\"Main\"\r\nPopup=\"Tip\"\r\n[FILES]\r\n"));
    }
    void cleanup() {
        window_.reset();
        CloseHelp();
        QVERIFY(mesg_->shown.empty());
        mesg_.reset();
        data_.reset();
    }

    void choicesSetTheEnablingRules_data() {
        QTest::addColumn<int>("mapMode");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<bool>("window");
        QTest::addColumn<bool>("initialId");
        QTest::newRow("no map files") << 0 << "rbtnMapNone" << false << false;
        QTest::newRow("topic header file") << 1 << "rbtnMapTopic" << true << false;
        QTest::newRow("alias/map files") << 2 << "rbtnMapContext" << true << true;
    }
    void choicesSetTheEnablingRules() {
        QFETCH(int, mapMode);
        QFETCH(QString, checked);
        QFETCH(bool, window);
        QFETCH(bool, initialId);
        window_->Session().MapMode = static_cast<MapMode>(mapMode);
        TdlgAliasMap dialog(window_->Session(), window_.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Alias / Map Files"));
        auto* radio = dialog.findChild<QRadioButton*>(checked);
        QVERIFY(radio && radio->isChecked());
        CheckEnabling(dialog, window, initialId);
        QVERIFY(dialog.btnOk->hasFocus());

        // Clicking through the choices changes the rules at once.
        dialog.rbtnMapContext->click();
        CheckEnabling(dialog, true, true);
        dialog.rbtnMapTopic->click();
        CheckEnabling(dialog, true, false);
        dialog.rbtnMapNone->click();
        CheckEnabling(dialog, false, false);
        dialog.btnCancel->click();
    }

    void windowListOffersTheProjectsWindows_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("stored");
        QTest::newRow("same case") << "main" << 1 << "main";
        QTest::newRow("other case") << "POPUP" << 2 << "Popup";
        QTest::newRow("no longer in the project") << "gone" << -1 << "";
        QTest::newRow("none") << "" << -1 << "";
    }
    void windowListOffersTheProjectsWindows() {
        QFETCH(QString, current);
        QFETCH(int, chosen);
        QFETCH(QString, stored);
        window_->Session().MapMode = MapMode::TopicHeader;
        window_->Session().WindowName = current.toStdString();
        TdlgAliasMap dialog(window_->Session(), window_.get());
        dialog.show();
        QCOMPARE(Items(dialog.cboWindow), QStringList({"", "main", "Popup"}));
        QCOMPARE(dialog.cboWindow->currentIndex(), chosen);
        QVERIFY(!dialog.cboWindow->isEditable());
        dialog.btnOk->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(window_->Session().WindowName), stored);
        QCOMPARE(int(window_->Session().MapMode), 1);
    }

    void initialIdTakesNineDigitsAtMost() {
        window_->Session().MapMode = MapMode::AliasFiles;
        window_->Session().InitialId = 100;
        TdlgAliasMap dialog(window_->Session(), window_.get());
        dialog.show();
        QCOMPARE(dialog.ebxInitialId->text(), QStringLiteral("100"));
        dialog.ebxInitialId->clear();
        TypeText(dialog.ebxInitialId, QStringLiteral("4a-2 x\u0663"));
        QCOMPARE(dialog.ebxInitialId->text(), QStringLiteral("42"));
        QTest::keyClick(dialog.ebxInitialId, Qt::Key_Backspace);
        QCOMPARE(dialog.ebxInitialId->text(), QStringLiteral("4"));
        QTest::keyClicks(dialog.ebxInitialId, QStringLiteral("1234567890"));
        QCOMPARE(dialog.ebxInitialId->text(), QStringLiteral("412345678"));
        dialog.btnOk->click();
        QCOMPARE(window_->Session().InitialId, 412345678);

        // An empty box stores 0.
        TdlgAliasMap again(window_->Session(), window_.get());
        again.show();
        again.ebxInitialId->clear();
        again.btnOk->click();
        QCOMPARE(window_->Session().InitialId, 0);

        // A longer ID stored with the project is shown and kept whole, not cut to nine digits.
        window_->Session().InitialId = 2000000000;
        TdlgAliasMap stored(window_->Session(), window_.get());
        stored.show();
        QCOMPARE(stored.ebxInitialId->text(), QStringLiteral("2000000000"));
        stored.btnOk->click();
        QCOMPARE(window_->Session().InitialId, 2000000000);
    }

    void cancelKeepsTheSettings() {
        window_->Session().MapMode = MapMode::AliasFiles;
        window_->Session().WindowName = "main";
        window_->Session().InitialId = 7;
        TdlgAliasMap dialog(window_->Session(), window_.get());
        dialog.show();
        dialog.rbtnMapTopic->click();
        dialog.cboWindow->setCurrentIndex(2);
        dialog.ebxInitialId->setText(QStringLiteral("99"));
        dialog.btnCancel->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(int(window_->Session().MapMode), 2);
        QCOMPARE(window_->Session().WindowName, std::string("main"));
        QCOMPARE(window_->Session().InitialId, 7);
    }

    void placementAndHelp() {
        QVERIFY(OpenHelpFile(std::string(TARNWICK_OUTPUT_DIR) + "/Tarnwick.chm"));
        QPoint placed;
        {
            TdlgAliasMap dialog(window_->Session(), window_.get());
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.btnHelp->click();
            QVERIFY(HelpWindow());
            QCOMPARE(HelpWindow()->CurrentTopic(), std::string("/html/alias_map_dialog.htm"));
            QVERIFY(dialog.isVisible());  // help never closes the dialog
            QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
            dialog.move(dialog.pos() + QPoint(-37, 21));
            placed = dialog.geometry().topLeft();
            dialog.btnCancel->click();
        }
        TdlgAliasMap dialog(window_->Session(), window_.get());
        QCOMPARE(dialog.geometry().topLeft(), placed);
        dialog.btnCancel->click();
    }

    // Through the main window's menu command: OK refreshes the Build Map button and the labels.
    void okRefreshesTheMainWindow() {
        window_->Session().MapMode = MapMode::None;
        window_->UpdateMapControls();
        QVERIFY(!Control<QPushButton>(*window_, "btnBuildMap")->isEnabled());
        const auto choose = [&](QRadioButton* TdlgAliasMap::*radio, bool ok) {
            bool ran = false;
            QTimer::singleShot(0, [&]() {
                auto* dialog = qobject_cast<TdlgAliasMap*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                (dialog->*radio)->click();
                (ok ? dialog->btnOk : dialog->btnCancel)->click();
                ran = true;
            });
            Control<QAction>(*window_, "mnuAliasMap")->trigger();
            QVERIFY(ran);
        };
        choose(&TdlgAliasMap::rbtnMapContext, true);
        QCOMPARE(int(window_->Session().MapMode), 2);
        QVERIFY(Control<QPushButton>(*window_, "btnBuildMap")->isEnabled());
        QVERIFY(Control<QLabel>(*window_, "lblAliasValue")->isEnabled());
        choose(&TdlgAliasMap::rbtnMapTopic, true);
        QCOMPARE(int(window_->Session().MapMode), 1);
        QVERIFY(Control<QLabel>(*window_, "lblMapValue")->isEnabled());
        QVERIFY(!Control<QLabel>(*window_, "lblAliasValue")->isEnabled());
        choose(&TdlgAliasMap::rbtnMapNone, false);
        QCOMPARE(int(window_->Session().MapMode), 1);
        QVERIFY(Control<QPushButton>(*window_, "btnBuildMap")->isEnabled());
    }

private:
    std::unique_ptr<TempFolder> data_;
    std::unique_ptr<ScriptedMesg> mesg_;
    std::unique_ptr<TfrmMain> window_;
};

QTEST_MAIN(AliasMapDialogTest)
#include "dialog_alias_map_test.moc"
