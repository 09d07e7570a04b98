// The help window on Tarnwick's own built help file: pages with their pictures and style sheet,
// links, Back and Forward, the Contents tab and the Index tab's filter.
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>
#include <set>

#include "help/html_help.h"
#include "ui/help_viewer.h"

using namespace tarnwick;

namespace {

const std::string kBuiltHelp = std::string(TARNWICK_OUTPUT_DIR) + "/Tarnwick.chm";

// Where the grabbed pictures go, for a person to look at.
QString PictureFile(const QString& name) {
    const QString folder = QStringLiteral(TARNWICK_OUTPUT_DIR "/../test-output");
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + name;
}

// The viewport point of the middle of the link to `href`, scrolled into view; (-1, -1) if the
// page has no such link.
QPoint LinkPoint(QTextBrowser* browser, const QString& href) {
    QTextDocument* document = browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isAnchor() && fragment.charFormat().anchorHref() == href) {
                QTextCursor cursor(document);
                cursor.setPosition(fragment.position() + fragment.length() / 2);
                browser->setTextCursor(cursor);
                browser->ensureCursorVisible();
                return browser->cursorRect(cursor).center();
            }
        }
    }
    return {-1, -1};
}

// Distinct colours in an image: a blank or unrendered area has very few.
int ColourCount(const QImage& image, const QRect& area) {
    std::set<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); y += 2) {
        for (int x = area.left(); x <= area.right(); x += 2) {
            colours.insert(image.pixel(x, y));
        }
    }
    return static_cast<int>(colours.size());
}

}  // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { help_ = std::make_unique<CHtmlHelp>(kBuiltHelp); }
    void cleanupTestCase() { help_.reset(); }

    void init() {
        window_ = std::make_unique<TfrmHelp>(*help_);
        window_->Browser->OpenExternal = [this](const QUrl& url) { external_.push_back(url); };
        window_->ShowOver(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() {
        window_.reset();
        external_.clear();
    }

    void showsTheContextTopicWithItsPictureAndStyle() {
        QVERIFY(window_->ShowContext(7));
        QCOMPARE(window_->CurrentTopic(), std::string("/html/main_window.htm"));
        QCOMPARE(window_->Browser->documentTitle(), QStringLiteral("The main window"));
        QVERIFY(window_->windowTitle().endsWith(QStringLiteral("The main window")));

        const QVariant picture = window_->Browser->document()->resource(
            QTextDocument::ImageResource, QUrl(QStringLiteral("chm:/html/images/main_window.png")));
        QVERIFY(picture.canConvert<QImage>());
        QCOMPARE(picture.value<QImage>().size(), QSize(540, 353));
        // The style sheet came from the help file: headings take its colour.
        const QTextBlock heading = window_->Browser->document()->findBlockByNumber(0);
        QCOMPARE(heading.text().trimmed(), QStringLiteral("The main window"));
        QCOMPARE(heading.charFormat().foreground().color(), QColor(0x24, 0x52, 0x7a));

        // Scroll the picture into view and look at the window as a user would.
        window_->resize(900, 700);
        QTest::qWait(50);
        QTextCursor atPicture = window_->Browser->document()->find(QStringLiteral("Project file"));
        atPicture.clearSelection();
        window_->Browser->setTextCursor(atPicture);
        window_->Browser->ensureCursorVisible();
        const QImage shot = window_->grab().toImage();
        QVERIFY(shot.save(PictureFile(QStringLiteral("help_viewer_main_window.png"))));
        const QRect page = window_->Browser->viewport()->geometry().translated(
            window_->Browser->mapTo(window_.get(), QPoint(0, 0)));
        QVERIFY2(ColourCount(shot, page.intersected(shot.rect())) > 200,
                 "the page area looks blank");
    }

    // Esc and the desktop's close keys put the help away from any of its parts.
    void escAndCtrlWCloseTheHelp() {
        for (const QKeySequence& keys :
             {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)}) {
            window_->ShowOver(nullptr);
            window_->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window_.get()));
            window_->Browser->setFocus();
            QTest::keySequence(window_->Browser, keys);
            QVERIFY2(!window_->isVisible(), qPrintable(keys.toString()));
        }
    }

    void contextWithoutTopicShowsTheHomePage() {
        QVERIFY(!window_->ShowContext(2));
        QCOMPARE(window_->CurrentTopic(), std::string("/html/welcome.htm"));
    }

    void missingTopicShowsANote() {
        QVERIFY(!window_->ShowTopic("html/no_such_page.htm"));
        QVERIFY(window_->Browser->toPlainText().contains(QStringLiteral("Page not found")));
        QVERIFY(window_->Browser->toPlainText().contains(QStringLiteral("no_such_page.htm")));
    }

    void linksBackAndForward() {
        QVERIFY(window_->ShowTopic("html/welcome.htm"));
        QVERIFY(!window_->btnBack->isEnabled());
        const QPoint link = LinkPoint(window_->Browser, QStringLiteral("getting_started.htm"));
        QVERIFY(link.x() >= 0);
        QTest::mouseClick(window_->Browser->viewport(), Qt::LeftButton, {}, link);
        QCOMPARE(window_->CurrentTopic(), std::string("/html/getting_started.htm"));
        QVERIFY(window_->btnBack->isEnabled());
        QVERIFY(!window_->btnForward->isEnabled());

        window_->btnBack->click();
        QCOMPARE(window_->CurrentTopic(), std::string("/html/welcome.htm"));
        QVERIFY(window_->btnForward->isEnabled());
        window_->btnForward->click();
        QCOMPARE(window_->CurrentTopic(), std::string("/html/getting_started.htm"));
        window_->btnHome->click();
        QCOMPARE(window_->CurrentTopic(), std::string("/html/welcome.htm"));
        QVERIFY(external_.empty());
    }

    void linksThatLeaveTheHelpGoToTheDesktop_data() {
        QTest::addColumn<QUrl>("link");
        QTest::addColumn<bool>("external");
        QTest::addColumn<QString>("topic");
        QTest::newRow("web") << QUrl(QStringLiteral("https://example.org/a")) << true << "";
        QTest::newRow("mail") << QUrl(QStringLiteral("mailto:ann@example.org")) << true << "";
        QTest::newRow("compiled file")
            << QUrl(QStringLiteral("ms-its:Tarnwick.chm::/html/building.htm")) << false
            << "/html/building.htm";
        QTest::newRow("relative in other case")
            << QUrl(QStringLiteral("Exporting.htm")) << false << "/html/Exporting.htm";
    }
    void linksThatLeaveTheHelpGoToTheDesktop() {
        QFETCH(QUrl, link);
        QFETCH(bool, external);
        QFETCH(QString, topic);
        QVERIFY(window_->ShowTopic("html/welcome.htm"));
        emit window_->Browser->anchorClicked(link);
        QCOMPARE(external_.size(), size_t(external ? 1 : 0));
        if (external) {
            QCOMPARE(external_.front(), link);
            QCOMPARE(window_->CurrentTopic(), std::string("/html/welcome.htm"));
        } else {
            QCOMPARE(QString::fromStdString(window_->CurrentTopic()), topic);
            QVERIFY(!window_->Browser->toPlainText().contains(QStringLiteral("Page not found")));
        }
    }

    void contentsListTheTopicsAndFollowThePage() {
        QTreeWidget* tree = window_->tvContents;
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Welcome to Tarnwick"));
        QTreeWidgetItem* editor = nullptr;
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            if ((*it)->text(0) == QStringLiteral("The exclude-list editor")) {
                editor = *it;
            }
        }
        QVERIFY(editor && editor->parent());  // under the "Exclude lists" heading
        tree->scrollToItem(editor);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(editor).center());
        QCOMPARE(window_->CurrentTopic(), std::string("/html/exclude_list_editor.htm"));

        // Showing a topic by context ID selects its contents entry, without a second jump.
        window_->ShowContext(1);
        QVERIFY(tree->currentItem());
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("The Alias / Map Files dialog"));
        QCOMPARE(window_->CurrentTopic(), std::string("/html/alias_map_dialog.htm"));
    }

    void indexFilterNarrowsTheKeywords() {
        window_->tabNavigation->setCurrentIndex(1);
        const size_t all = window_->VisibleKeywords().size();
        QVERIFY(all > 20);

        QTest::keyClicks(window_->ebxIndexFilter, QStringLiteral("EXCL"));
        const std::vector<QString> shown = window_->VisibleKeywords();
        QVERIFY(!shown.empty());
        QVERIFY(shown.size() < all);
        for (const QString& keyword : shown) {
            QVERIFY2(keyword.startsWith(QStringLiteral("excl"), Qt::CaseInsensitive),
                     qPrintable(keyword));
        }
        QVERIFY(window_->lbxIndex->currentItem());
        QVERIFY(window_->lbxIndex->currentItem()->text().startsWith(QStringLiteral("excl"),
                                                                    Qt::CaseInsensitive));
        // The arrow keys move through the narrowed list while the typing stays in the box.
        if (shown.size() > 1) {
            const int first = window_->lbxIndex->currentRow();
            QTest::keyClick(window_->ebxIndexFilter, Qt::Key_Down);
            QVERIFY(window_->lbxIndex->currentRow() > first);
            QVERIFY(!window_->lbxIndex->currentItem()->isHidden());
            QCOMPARE(window_->ebxIndexFilter->text(), QStringLiteral("EXCL"));
        }
        QTest::keyClick(window_->ebxIndexFilter, Qt::Key_Return);
        QVERIFY(!window_->CurrentTopic().empty());

        window_->ebxIndexFilter->clear();
        QTest::keyClicks(window_->ebxIndexFilter, QStringLiteral("zzzz"));
        QVERIFY(window_->VisibleKeywords().empty());
        QCOMPARE(window_->lbxTopics->count(), 0);
        window_->ebxIndexFilter->clear();
        QCOMPARE(window_->VisibleKeywords().size(), all);
    }

    void keywordOfSeveralTopicsListsThemByTitle() {
        window_->tabNavigation->setCurrentIndex(1);
        QTest::keyClicks(window_->ebxIndexFilter, QStringLiteral("exclude lists"));
        QListWidget* topics = window_->lbxTopics;
        std::set<QString> titles;
        for (int row = 0; row < topics->count(); ++row) {
            titles.insert(topics->item(row)->text());
        }
        QVERIFY(titles.count(QStringLiteral("Exclude lists")));
        QVERIFY(titles.count(QStringLiteral("The exclude-list editor")));

        for (int row = 0; row < topics->count(); ++row) {
            if (topics->item(row)->text() == QStringLiteral("The exclude-list editor")) {
                QTest::mouseClick(topics->viewport(), Qt::LeftButton, {},
                                  topics->visualItemRect(topics->item(row)).center());
            }
        }
        QCOMPARE(window_->CurrentTopic(), std::string("/html/exclude_list_editor.htm"));
        const QImage shot = window_->grab().toImage();
        QVERIFY(shot.save(PictureFile(QStringLiteral("help_viewer_index.png"))));
    }

private:
    std::unique_ptr<CHtmlHelp> help_;
    std::unique_ptr<TfrmHelp> window_;
    std::vector<QUrl> external_;
};

QTEST_MAIN(HelpViewerTest)
#include "help_viewer_test.moc"
