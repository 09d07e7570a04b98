// TfrmHelp: Tarnwick's help window. It shows the topics of the compiled help file with Back,
// Forward and Home, a Contents tab made from the file's .hhc and an Index tab made from its .hhk
// with a filter box. It is never modal: showing a topic returns at once.
#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarnwick {

class CHtmlHelp;

// A text browser whose pages, images and style sheets come from the compiled help file. Topics
// are addressed as "chm:/<object path>"; links to other schemes leave the help to the desktop.
class THelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    // `help` must outlive the browser.
    THelpBrowser(const CHtmlHelp& help, QWidget* parent = nullptr);

    static QUrl TopicUrl(const std::string& objectPath);
    // The object path of a topic URL; empty for any other URL.
    static std::string ObjectPath(const QUrl& url);

    QVariant loadResource(int type, const QUrl& name) override;

    // What opens a link that leaves the help (http:, mailto:, ...); the desktop's handler unless
    // a test replaces it.
    std::function<void(const QUrl&)> OpenExternal;

private:
    void FollowLink(const QUrl& url);

    const CHtmlHelp& help_;
};

class TfrmHelp : public QWidget {
    Q_OBJECT
public:
    // A hidden help window for `help`, which must outlive it, owned by `owner` (may be null).
    explicit TfrmHelp(const CHtmlHelp& help, QWidget* owner = nullptr);
    ~TfrmHelp() override;

    const CHtmlHelp& Help() const { return help_; }

    // Makes the window a child window of `owner` and shows it: centred over the owner when it
    // was closed, where it was when it was open; then raises and activates it. While the window
    // belongs to a dialog and the dialog hides, it goes over to the dialog's own parent window,
    // so it stays open and usable after the dialog has closed.
    void ShowOver(QWidget* owner);
    // Shows the topic that the help file maps to the context ID; the default topic when it maps
    // none. Returns whether the context ID had a topic.
    bool ShowContext(int contextId);
    // Shows a topic by object path or [FILES] path; returns false when the file has no such
    // topic (the window then shows a short note instead).
    bool ShowTopic(const std::string& reference);
    // The object path of the topic shown, or empty.
    std::string CurrentTopic() const;

    // The keywords the index lists, and the index list rows the filter leaves visible.
    struct TKeyword {
        QString Text;
        int Depth = 0;
        std::string Bytes;                                    // as the index file holds it
        std::vector<std::pair<QString, std::string>> Topics;  // title and object path
    };
    const std::vector<TKeyword>& Keywords() const { return keywords_; }
    std::vector<QString> VisibleKeywords() const;

    // Controls.
    QToolButton* btnBack = nullptr;
    QToolButton* btnForward = nullptr;
    QToolButton* btnHome = nullptr;
    QSplitter* Splitter = nullptr;
    QTabWidget* tabNavigation = nullptr;
    QTreeWidget* tvContents = nullptr;
    QLineEdit* ebxIndexFilter = nullptr;
    QListWidget* lbxIndex = nullptr;
    QListWidget* lbxTopics = nullptr;
    QPushButton* btnDisplay = nullptr;
    THelpBrowser* Browser = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void FillContents();
    void FillIndex();
    QString TopicTitle(const std::string& objectPath, const std::string& givenTitle);
    void SourceChanged(const QUrl& url);
    void tvContentsActivate(QTreeWidgetItem* item);
    void ebxIndexFilterChange(const QString& text);
    void lbxIndexRowChange(int row);
    void lbxIndexActivate();
    void btnDisplayClick();
    void btnHomeClick();
    void WatchOwner(QWidget* owner);

    const CHtmlHelp& help_;
    std::string homeTopic_;
    std::vector<TKeyword> keywords_;
    std::map<std::string, QString> titles_;  // object path to the title shown for it
    QWidget* watchedOwner_ = nullptr;
};

}  // namespace tarnwick
