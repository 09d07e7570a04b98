// Every window and dialog, opened through the main window's real handlers on the garden example
// with long names wherever the user fills one in (a 60-character list name, a project path of
// over 200 characters), shown whole: no caption of a label, button, combo box or tab is cut off,
// and every window, frame and all, lies within the available area of a 1366 x 768 screen. Run
// at 100 % and again at 150 % (see CMakeLists.txt).
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/program_folders.h"
#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "find_control.h"
#include "store/config.h"
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
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

// A list name of 60 characters with its extension, as a user might name a list.
const QString kLongListName =
    QStringLiteral("Garden_terms_for_the_spring_catalogue_and_the_summer_fair.txt");

// A caption as drawn: "&&" shows one "&", a single "&" marks the mnemonic and is not drawn.
QString Drawn(QString text) {
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

// The width and height the text takes on one line per line break.
QSize TextSize(const QFontMetrics& metrics, const QString& text) {
    int width = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        width = std::max(width, metrics.horizontalAdvance(line));
    }
    return {width, metrics.height() * static_cast<int>(lines.size())};
}

QString Describe(const QWidget* widget, const QString& text, QSize needed, QSize room) {
    return QStringLiteral("%1 %2 \"%3\": needs %4 x %5, has %6 x %7")
        .arg(QLatin1String(widget->metaObject()->className()), widget->objectName(), text)
        .arg(needed.width())
        .arg(needed.height())
        .arg(room.width())
        .arg(room.height());
}

void CheckLabel(const QLabel* label, QStringList& clipped) {
    // Shortened on purpose, with the whole text a pointer's rest away.
    if (label->text().isEmpty() || !label->pixmap().isNull() || label->toolTip() == label->text()) {
        return;
    }
    const int margin = label->margin() * 2 + std::max(0, label->indent());
    const QRect room = label->contentsRect().adjusted(0, 0, -margin, -label->margin() * 2);
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    QString text = rich ? QString() : label->text();
    QSize needed;
    if (rich) {
        QTextDocument document;
        document.setDefaultFont(label->font());
        document.setDocumentMargin(0);
        document.setHtml(label->text());
        text = document.toPlainText();
        if (label->wordWrap()) {
            document.setTextWidth(room.width());
        }
        needed = QSize(static_cast<int>(document.idealWidth()),
                       static_cast<int>(document.size().height()));
    } else if (label->wordWrap()) {
        needed = label->fontMetrics()
                     .boundingRect(QRect(0, 0, room.width(), 100000), Qt::TextWordWrap, text)
                     .size();
    } else {
        needed = TextSize(label->fontMetrics(), Drawn(text));
    }
    if (needed.width() > room.width() || needed.height() > room.height()) {
        clipped << Describe(label, text, needed, room.size());
    }
}

void CheckButton(const QAbstractButton* button, QStringList& clipped) {
    const QString text = Drawn(button->text());
    if (text.isEmpty()) {
        return;
    }
    QRect room = button->contentsRect();
    int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    if (const auto* push = qobject_cast<const QPushButton*>(button)) {
        QStyleOptionButton option;
        option.initFrom(push);
        option.text = push->text();
        option.icon = push->icon();
        option.iconSize = push->iconSize();
        room = push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push);
    } else if (qobject_cast<const QCheckBox*>(button) ||
               qobject_cast<const QRadioButton*>(button)) {
        QStyleOptionButton option;
        option.initFrom(button);
        const bool check = qobject_cast<const QCheckBox*>(button) != nullptr;
        room = button->style()->subElementRect(
            check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &option, button);
    } else if (const auto* tool = qobject_cast<const QToolButton*>(button)) {
        if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly) {
            return;
        }
        if (tool->toolButtonStyle() != Qt::ToolButtonTextBesideIcon) {
            icon = 0;
        }
        const int margin = tool->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, tool);
        room = tool->contentsRect().adjusted(margin / 2, 0, -margin / 2, 0);
    }
    const QSize needed = TextSize(button->fontMetrics(), text) + QSize(icon, 0);
    if (needed.width() > room.width() || needed.height() > room.height()) {
        clipped << Describe(button, text, needed, room.size());
    }
}

void CheckCombo(const QComboBox* combo, QStringList& clipped) {
    const QString text = combo->currentText();
    // Shortened on purpose, with the whole text a pointer's rest away.
    if (text.isEmpty() || combo->toolTip() == text) {
        return;
    }
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.currentText = text;
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, combo);
    const int icon =
        combo->itemIcon(combo->currentIndex()).isNull() ? 0 : combo->iconSize().width() + 4;
    // The label is drawn a pixel in from each side of the field.
    const QSize room(field.width() - 2, field.height());
    const QSize needed = TextSize(combo->fontMetrics(), text) + QSize(icon, 0);
    if (needed.width() > room.width() || needed.height() > room.height()) {
        clipped << Describe(combo, text, needed, room);
    }
}

void CheckTabs(const QTabBar* tabs, QStringList& clipped) {
    for (int i = 0; i < tabs->count(); ++i) {
        const QString text = Drawn(tabs->tabText(i));
        if (tabs->elideMode() != Qt::ElideNone && tabs->tabToolTip(i) == text) {
            continue;
        }
        QStyleOptionTab option;
        option.initFrom(tabs);
        option.rect = tabs->tabRect(i);
        option.text = tabs->tabText(i);
        option.icon = tabs->tabIcon(i);
        option.iconSize = tabs->iconSize();
        option.shape = tabs->shape();
        option.documentMode = tabs->documentMode();
        const QRect room = tabs->style()->subElementRect(QStyle::SE_TabBarTabText, &option, tabs);
        const QSize needed = TextSize(tabs->fontMetrics(), text);
        if (needed.width() > room.width() || needed.height() > room.height()) {
            clipped << Describe(tabs, text, needed, room.size());
        }
    }
}

// What does not fit in `window`: every shown caption whose text is cut off, and the window
// itself when its frame leaves the available area.
QStringList Clipped(QWidget* window) {
    QStringList clipped;
    QApplication::sendPostedEvents();
    window->grab();  // painted, as a user would see it
    const QRect area = window->screen()->availableGeometry();
    if (!area.contains(window->frameGeometry())) {
        clipped << QStringLiteral("%1: frame %2,%3 %4 x %5 leaves the area %6 x %7")
                       .arg(window->objectName())
                       .arg(window->frameGeometry().x())
                       .arg(window->frameGeometry().y())
                       .arg(window->frameGeometry().width())
                       .arg(window->frameGeometry().height())
                       .arg(area.width())
                       .arg(area.height());
    }
    for (const QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || widget->window() != window) {
            continue;
        }
        // A control that its layout places partly outside its parent is cut off by the parent.
        const QWidget* parent = widget->parentWidget();
        if (parent && parent->layout() && parent->layout()->indexOf(widget) >= 0 &&
            !parent->rect().contains(widget->geometry())) {
            clipped << QStringLiteral("%1 %2 runs past %3")
                           .arg(QLatin1String(widget->metaObject()->className()),
                                widget->objectName(), parent->objectName());
        }
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            CheckLabel(label, clipped);
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            CheckButton(button, clipped);
        } else if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
            CheckCombo(combo, clipped);
        } else if (const auto* tabs = qobject_cast<const QTabBar*>(widget)) {
            CheckTabs(tabs, clipped);
        }
    }
    return clipped;
}

}  // namespace

class ClippedTextTest : public QObject {
    Q_OBJECT
    using Opener = std::function<void(ClippedTextTest&)>;

private slots:
    void init() {
        clipped_.clear();
        checked_ = false;
        data_ = std::make_unique<TempFolder>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data_->Path().string()));
        projects_ = std::make_unique<TempFolder>();
        // A project path of over 200 characters.
        fs::path folder = projects_->Path();
        while (folder.string().size() < 190) {
            folder /= "Spring_and_summer_garden";
        }
        fs::create_directories(folder);
        fs::copy(fs::path(TARNWICK_SOURCE_DIR) / "examples/garden", folder / "garden",
                 fs::copy_options::recursive);
        project_ = QString::fromStdString((folder / "garden/Garden.hhp").string());
        QVERIFY(project_.size() > 200);

        window_ = std::make_unique<TfrmMain>();
        window_->TestHooks().ParseDialog = [](TdlgParse& dialog) {
            QObject::connect(
                &dialog, &TdlgParse::RunFinished, &dialog,
                [&dialog]() { dialog.btnCancelDone->click(); }, Qt::QueuedConnection);
        };
        window_->FormCreate();
        std::ofstream(ExcludeListFolder() + kLongListName.toStdString()) << "rose\n";
        window_->FillExcludeListCombo();
        window_->show();
        window_->OpenProject(project_);
        for (const char* box : {"ckbBody", "ckbTitle", "ckbKeyWords", "ckbDescription",
                                "ckbExcludeNumbers", "ckbDefaultExclude"}) {
            Control<QCheckBox>(*window_, box)->setChecked(true);
        }
        auto* lists = Control<QComboBox>(*window_, "cboExcludeList");
        lists->setCurrentIndex(lists->findText(kLongListName));
        QVERIFY(lists->currentIndex() >= 0);
        emit lists->activated(lists->currentIndex());
        Control<QPushButton>(*window_, "btnParse")->click();
        QVERIFY(window_->IndexModel()->rowCount() > 0);
        Control<QListView>(*window_, "lbxIndex")->setCurrentIndex(window_->IndexModel()->index(0));
    }
    void cleanup() {
        CloseHelp();
        window_.reset();
        projects_.reset();
        data_.reset();
    }

    void everyCaptionFitsItsWidget_data() {
        QTest::addColumn<int>("window");
        for (int i = 0; i < static_cast<int>(std::size(kWindows)); ++i) {
            QTest::newRow(kWindows[i].name) << i;
        }
    }
    void everyCaptionFitsItsWidget() {
        QFETCH(int, window);
        kWindows[window].open(*this);
        QVERIFY2(checked_, "the window was not shown");
        QVERIFY2(clipped_.isEmpty(), qPrintable(clipped_.join(QLatin1Char('\n'))));
    }

    // The main window of a first start, with no placement stored, lies centred in the area.
    void aFirstStartIsCentred() {
        TfrmMain first;
        QVERIFY(!QFile::exists(QString::fromStdString(CConfig::FilePath(DataFolder()))) ||
                QFile::remove(QString::fromStdString(CConfig::FilePath(DataFolder()))));
        first.FormCreate();
        first.show();
        QApplication::sendPostedEvents();
        const QRect area = first.screen()->availableGeometry();
        const QRect frame = first.frameGeometry();
        QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1,%2 %3 x %4")
                                                      .arg(frame.x())
                                                      .arg(frame.y())
                                                      .arg(frame.width())
                                                      .arg(frame.height())));
        QVERIFY(std::abs(frame.center().x() - area.center().x()) <= 1);
        QVERIFY(std::abs(frame.center().y() - area.center().y()) <= 1);
        first.close();
    }

private:
    struct Window {
        const char* name;
        Opener open;
    };

    // Checks the modal dialog that the next event loop shows, then closes it.
    void CheckNextModal() {
        QTimer::singleShot(0, [this]() {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog) {
                Check(dialog);
                dialog->close();
            }
        });
    }
    void Check(QWidget* window) {
        checked_ = true;
        clipped_ << Clipped(window);
    }

    static const Window kWindows[10];

    std::unique_ptr<TempFolder> data_;
    std::unique_ptr<TempFolder> projects_;
    std::unique_ptr<TfrmMain> window_;
    QString project_;
    QStringList clipped_;
    bool checked_ = false;
};

const ClippedTextTest::Window ClippedTextTest::kWindows[] = {
    {"main window", [](ClippedTextTest& t) { t.Check(t.window_.get()); }},
    {"exclude-list editor",
     [](ClippedTextTest& t) {
         QTimer::singleShot(0, [&t]() {
             auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
             if (!editor) {
                 return;
             }
             // The default list's name whole, the long one shortened with its tooltip.
             auto* lists = Control<QComboBox>(*editor, "cboFiles");
             for (const QString& name :
                  {QStringLiteral("Default_Exclude_List.txt"), kLongListName}) {
                 lists->setCurrentIndex(lists->findText(name));
                 emit lists->activated(lists->currentIndex());
                 t.Check(editor);
             }
             editor->reject();
         });
         t.window_->actEditExcludeFileExecute();
     }},
    {"alias and map files",
     [](ClippedTextTest& t) {
         t.CheckNextModal();
         t.window_->mnuAliasMapClick();
     }},
    {"parse",
     [](ClippedTextTest& t) {
         t.window_->TestHooks().ParseDialog = [&t](TdlgParse& dialog) {
             QObject::connect(
                 &dialog, &TdlgParse::RunFinished, &dialog,
                 [&t, &dialog]() {
                     t.Check(&dialog);
                     dialog.btnCancelDone->click();
                 },
                 Qt::QueuedConnection);
         };
         Control<QPushButton>(*t.window_, "btnParse")->click();
     }},
    {"build",
     [](ClippedTextTest& t) {
         t.window_->TestHooks().BuildDialog = [&t](TdlgBuildNdx& dialog) {
             QObject::connect(
                 &dialog, &TdlgBuildNdx::RunFinished, &dialog,
                 [&t, &dialog]() {
                     t.Check(&dialog);
                     dialog.btnCancelDone->click();
                 },
                 Qt::QueuedConnection);
         };
         // Every file: the longest messages.
         t.window_->Session().MapMode = MapMode::AliasFiles;
         t.window_->UpdateMapControls();
         Control<QAction>(*t.window_, "mnuBuildAll")->trigger();
     }},
    {"export",
     [](ClippedTextTest& t) {
         t.CheckNextModal();
         t.window_->mnuExportClick();
     }},
    {"about",
     [](ClippedTextTest& t) {
         t.CheckNextModal();
         t.window_->mnuAboutClick();
     }},
    {"help",
     [](ClippedTextTest& t) {
         t.window_->actHelpExecute();
         QVERIFY(HelpWindow());
         t.Check(HelpWindow());
     }},
    {"show topics",
     [](ClippedTextTest& t) {
         t.window_->TestHooks().TopicsDialog = [&t](TdlgWordTopics& dialog) {
             QTimer::singleShot(0, &dialog, [&t, &dialog]() {
                 t.Check(&dialog);
                 dialog.reject();
             });
         };
         t.window_->pumShowTopicsClick();
     }},
    {"exclude common words",
     [](ClippedTextTest& t) {
         t.window_->TestHooks().CommonWordsDialog = [&t](TdlgCommonWords& dialog) {
             QTimer::singleShot(0, &dialog, [&t, &dialog]() {
                 t.Check(&dialog);
                 dialog.reject();
             });
         };
         t.window_->mnuCommonWordsClick();
     }},
};

QTEST_MAIN(ClippedTextTest)
#include "clipped_text_test.moc"
