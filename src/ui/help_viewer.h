// TfrmHelp: the help window. It shows the topics of a compiled help file - Tarnwick's own, or the
// one a help project compiles to - with Back, Forward and Home, a Contents tab made from the
// file's .hhc and an Index tab made from its .hhk with a filter box. It is never modal: showing a
// topic returns at once.
#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
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
class TCodePage;
class WordCollator;

// A text browser whose pages, images and style sheets come from the compiled help file. Topics
// are addressed as "chm:/<object path>"; links to other schemes leave the help to the desktop.
class THelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    // `help` must outlive the browser. Pages that declare no charset are in `codePage`.
    THelpBrowser(const CHtmlHelp& help, const TCodePage& codePage, QWidget* parent = nullptr);

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
    const TCodePage& codePage_;
};

// A help page's bytes as the browser shows them: in the charset the page declares by a
// byte-order mark or a meta element, else in `codePage`, the help project's.
QString DecodeHelpPage(std::string_view bytes, const TCodePage& codePage);

class TfrmHelp : public QWidget {
    Q_OBJECT
public:
    // A hidden help window for `help`, which must outlive it, owned by `owner` (may be null).
    // The file's texts - contents, keywords, titles, pages that declare no charset - are in
    // `codePage`; `untitled` is the window's title when the file names none.
    explicit TfrmHelp(const CHtmlHelp& help, QWidget* owner = nullptr);
    TfrmHelp(const CHtmlHelp& help, QWidget* owner, const TCodePage& codePage,
             const QString& untitled);
    // The same for a help file that the window keeps open for as long as it exists.
    TfrmHelp(std::unique_ptr<CHtmlHelp> help, QWidget* owner, const TCodePage& codePage,
             const QString& untitled);
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
    // Shows the file's default topic (else the first page of its contents).
    void ShowHome();
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
    void WatchOwner(QWidget* owner);
    QString Text(std::string_view bytes) const;

    std::unique_ptr<CHtmlHelp> owned_;  // the help file, when the window keeps it open
    const CHtmlHelp& help_;
    const TCodePage& codePage_;
    const WordCollator& collator_;
    QString untitled_;
    std::string homeTopic_;
    std::vector<TKeyword> keywords_;
    std::map<std::string, QString> titles_;  // object path to the title shown for it
    QWidget* watchedOwner_ = nullptr;
};

}  // namespace tarnwick
