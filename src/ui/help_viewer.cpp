#include "ui/help_viewer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStringDecoder>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "help/help_sitemap.h"
#include "help/html_help.h"
#include "pipeline/page_charset.h"
#include "support/ansi_case.h"
#include "support/word_compare.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace tarnwick {
namespace {

constexpr int kDefaultWidth = 860;
constexpr int kDefaultHeight = 620;
constexpr int kNavigationWidth = 250;
constexpr int kPathRole = Qt::UserRole;
const QString kTopicScheme = QStringLiteral("chm");

// A topic reference split at its "#": the path part and the fragment (without the "#").
std::pair<std::string, std::string> SplitFragment(const std::string& reference) {
    const size_t hash = reference.find('#');
    if (hash == std::string::npos) {
        return {reference, {}};
    }
    return {reference.substr(0, hash), reference.substr(hash + 1)};
}

// The object path a reference names when the file has no such object, for the missing-page note.
std::string MissingObjectPath(const std::string& path) {
    return !path.empty() && path.front() == '/' ? path : "/" + path;
}

QString MissingPage(const QString& path) {
    return QStringLiteral(
               "<html><head><title>Page not found</title></head><body>"
               "<h2>Page not found</h2><p>The help file holds no page <code>%1</code>.</p>"
               "</body></html>")
        .arg(path.toHtmlEscaped());
}

// The object holding a sitemap the system record names; failing that, the first object with
// the extension.
std::string SitemapObject(const CHtmlHelp& help, const std::string& named, const char* extension) {
    if (!named.empty()) {
        const std::string path = help.ResolveTopic(named);
        if (!path.empty()) {
            return path;
        }
    }
    const std::string_view ext(extension);
    for (const std::string& path : help.ObjectPaths()) {
        if (path.size() > ext.size() &&
            EqualsAsciiNoCase(std::string_view(path).substr(path.size() - ext.size()), ext)) {
            return path;
        }
    }
    return {};
}

}  // namespace

QString DecodeHelpPage(std::string_view bytes, const TCodePage& codePage) {
    const std::string_view charset = DeclaredCharset(bytes);
    if (!charset.empty()) {
        // Pages of a help project may come from tools that write UTF-8 or another charset and
        // say so; the compiled file keeps their bytes as they were.
        QStringDecoder decoder(std::string(charset).c_str());
        if (decoder.isValid()) {
            return decoder.decode(
                QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        }
    }
    return ToQt(bytes, codePage);
}

// --- THelpBrowser ----------------------------------------------------------------------------

THelpBrowser::THelpBrowser(const CHtmlHelp& help, const TCodePage& codePage, QWidget* parent)
    : QTextBrowser(parent), help_(help), codePage_(codePage) {
    setObjectName(QStringLiteral("Browser"));
    setOpenLinks(false);  // links are followed by FollowLink, so none leaves unchecked
    OpenExternal = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    connect(this, &QTextBrowser::anchorClicked, this, &THelpBrowser::FollowLink);
    // Help pages are written for a white page, their text dark ("color: #1f2328"): in a dark
    // desktop theme the page stays white, or the text of every topic would vanish.
    QPalette page = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        page.setColor(group, QPalette::Base, Qt::white);
        page.setColor(group, QPalette::Text, Qt::black);
        page.setColor(group, QPalette::Link, QColor(0x00, 0x66, 0xcc));
    }
    setPalette(page);
}

QUrl THelpBrowser::TopicUrl(const std::string& objectPath) {
    QUrl url;
    url.setScheme(kTopicScheme);
    url.setPath(QString::fromUtf8(objectPath.data(), static_cast<qsizetype>(objectPath.size())));
    return url;
}

std::string THelpBrowser::ObjectPath(const QUrl& url) {
    if (url.scheme() != kTopicScheme) {
        return {};
    }
    const QByteArray path = url.path().toUtf8();
    return std::string(path.constData(), static_cast<size_t>(path.size()));
}

QVariant THelpBrowser::loadResource(int type, const QUrl& name) {
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    const std::string path = ObjectPath(url);
    if (path.empty()) {
        return {};
    }
    const auto bytes = help_.ReadObject(path);
    switch (type) {
        case QTextDocument::HtmlResource:
            return bytes ? DecodeHelpPage(*bytes, codePage_) : MissingPage(url.path());
        case QTextDocument::ImageResource: {
            if (!bytes) {
                return {};
            }
            QImage image =
                QImage::fromData(QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())));
            return image.isNull() ? QVariant() : QVariant(image);
        }
        case QTextDocument::StyleSheetResource:
            return bytes ? QVariant(DecodeHelpPage(*bytes, codePage_)) : QVariant();
        default:
            return bytes
                       ? QVariant(QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())))
                       : QVariant();
    }
}

void THelpBrowser::FollowLink(const QUrl& url) {
    const QUrl target = url.isRelative() ? source().resolved(url) : url;
    const QString scheme = target.scheme().toLower();
    if (scheme == kTopicScheme) {
        setSource(target);
        return;
    }
    // "ms-its:Tarnwick.chm::/html/a.htm" and "mk:@MSITStore:...::/html/a.htm" name a topic of a
    // compiled file; only this file is open, so the part after "::" is looked up in it.
    if (scheme == QLatin1String("ms-its") || scheme == QLatin1String("mk")) {
        const QString text = target.toString();
        const qsizetype at = text.indexOf(QLatin1String("::"));
        if (at >= 0) {
            const QByteArray inner = text.mid(at + 2).toUtf8();
            const auto [path, fragment] =
                SplitFragment(std::string(inner.constData(), static_cast<size_t>(inner.size())));
            const std::string object = help_.ResolveTopic(path);
            // A topic the file lacks keeps its address, so the missing-page note names it.
            QUrl topic = TopicUrl(object.empty() ? MissingObjectPath(path) : object);
            if (!fragment.empty()) {
                topic.setFragment(QString::fromStdString(fragment));
            }
            setSource(topic);
        }
        return;
    }
    if (OpenExternal) {
        OpenExternal(target);
    }
}

// --- TfrmHelp --------------------------------------------------------------------------------

TfrmHelp::TfrmHelp(const CHtmlHelp& help, QWidget* owner)
    // Tarnwick's own help is written in Windows-1252, whatever project is open.
    : TfrmHelp(help, owner, TCodePage::Windows1252(), QStringLiteral("Tarnwick Help")) {}

TfrmHelp::TfrmHelp(std::unique_ptr<CHtmlHelp> help, QWidget* owner, const TCodePage& codePage,
                   const QString& untitled)
    : TfrmHelp(*help, owner, codePage, untitled) {
    owned_ = std::move(help);
}

TfrmHelp::TfrmHelp(const CHtmlHelp& help, QWidget* owner, const TCodePage& codePage,
                   const QString& untitled)
    : QWidget(owner, Qt::Window),
      help_(help),
      codePage_(codePage),
      collator_(WordCollator::For(codePage.Number())),
      untitled_(untitled) {
    setObjectName(QStringLiteral("frmHelp"));
    BuildLayout();
    FillContents();
    FillIndex();
    homeTopic_ = help_.ResolveTopic(SplitFragment(help_.System().DefaultTopic).first);
    if (homeTopic_.empty() && tvContents->topLevelItemCount() > 0) {
        homeTopic_ = tvContents->topLevelItem(0)->data(0, kPathRole).toString().toStdString();
    }
    SourceChanged(QUrl());
    resize(kDefaultWidth, kDefaultHeight);

    // Esc or the desktop's close keys put the help away, from whichever of its parts has focus.
    auto* closeHelp = new QAction(this);
    closeHelp->setObjectName(QStringLiteral("actCloseHelp"));
    QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    closeKeys.prepend(QKeySequence(Qt::Key_Escape));
    closeHelp->setShortcuts(closeKeys);
    closeHelp->setShortcutContext(Qt::WindowShortcut);
    connect(closeHelp, &QAction::triggered, this, &QWidget::close);
    addAction(closeHelp);
}

TfrmHelp::~TfrmHelp() {
    // The browser reads the help file; it goes before a help file the window keeps open.
    delete Splitter;
}

QString TfrmHelp::Text(std::string_view bytes) const {
    return ToQt(bytes, codePage_);
}

void TfrmHelp::BuildLayout() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* tools = new QHBoxLayout;
    auto makeButton = [this, tools](const QString& text, QStyle::StandardPixmap icon,
                                    const char* name) {
        auto* button = new QToolButton(this);
        button->setText(text);
        button->setIcon(style()->standardIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setObjectName(QLatin1String(name));
        tools->addWidget(button);
        return button;
    };
    btnBack = makeButton(QStringLiteral("Back"), QStyle::SP_ArrowBack, "btnBack");
    btnBack->setShortcut(QKeySequence::Back);
    btnBack->setToolTip(QStringLiteral("Back to the previous page (Alt+Left)"));
    btnForward = makeButton(QStringLiteral("Forward"), QStyle::SP_ArrowForward, "btnForward");
    btnForward->setShortcut(QKeySequence::Forward);
    btnForward->setToolTip(QStringLiteral("Forward to the next page (Alt+Right)"));
    btnHome = makeButton(QStringLiteral("Home"), QStyle::SP_DirHomeIcon, "btnHome");
    btnHome->setToolTip(QStringLiteral("The first page of the help"));
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    tools->addStretch(1);
    layout->addLayout(tools);

    Splitter = new QSplitter(Qt::Horizontal, this);
    tabNavigation = new QTabWidget(Splitter);
    tabNavigation->setObjectName(QStringLiteral("tabNavigation"));

    tvContents = new QTreeWidget;
    tvContents->setObjectName(QStringLiteral("tvContents"));
    tvContents->setHeaderHidden(true);
    tvContents->setColumnCount(1);
    tabNavigation->addTab(tvContents, QStringLiteral("Contents"));

    auto* indexPage = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(4, 4, 4, 4);
    indexLayout->addWidget(new QLabel(QStringLiteral("Type the start of a keyword:"), indexPage));
    ebxIndexFilter = new QLineEdit(indexPage);
    ebxIndexFilter->setObjectName(QStringLiteral("ebxIndexFilter"));
    ebxIndexFilter->setClearButtonEnabled(true);
    ebxIndexFilter->installEventFilter(this);  // arrow keys move through the keywords
    indexLayout->addWidget(ebxIndexFilter);
    lbxIndex = new QListWidget(indexPage);
    lbxIndex->setObjectName(QStringLiteral("lbxIndex"));
    indexLayout->addWidget(lbxIndex, 3);
    indexLayout->addWidget(new QLabel(QStringLiteral("Topics:"), indexPage));
    lbxTopics = new QListWidget(indexPage);
    lbxTopics->setObjectName(QStringLiteral("lbxTopics"));
    indexLayout->addWidget(lbxTopics, 1);
    btnDisplay = new QPushButton(QStringLiteral("Display"), indexPage);
    btnDisplay->setObjectName(QStringLiteral("btnDisplay"));
    indexLayout->addWidget(btnDisplay, 0, Qt::AlignRight);
    tabNavigation->addTab(indexPage, QStringLiteral("Index"));

    Browser = new THelpBrowser(help_, codePage_, Splitter);
    Splitter->addWidget(tabNavigation);
    Splitter->addWidget(Browser);
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({kNavigationWidth, kDefaultWidth - kNavigationWidth});
    layout->addWidget(Splitter, 1);

    connect(btnBack, &QToolButton::clicked, Browser, &QTextBrowser::backward);
    connect(btnForward, &QToolButton::clicked, Browser, &QTextBrowser::forward);
    connect(btnHome, &QToolButton::clicked, this, &TfrmHelp::ShowHome);
    connect(Browser, &QTextBrowser::backwardAvailable, btnBack, &QToolButton::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, btnForward, &QToolButton::setEnabled);
    connect(Browser, &QTextBrowser::sourceChanged, this, &TfrmHelp::SourceChanged);
    connect(tvContents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { tvContentsActivate(item); });
    connect(tvContents, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { tvContentsActivate(item); });
    connect(ebxIndexFilter, &QLineEdit::textChanged, this, &TfrmHelp::ebxIndexFilterChange);
    connect(ebxIndexFilter, &QLineEdit::returnPressed, this, &TfrmHelp::lbxIndexActivate);
    connect(lbxIndex, &QListWidget::currentRowChanged, this, &TfrmHelp::lbxIndexRowChange);
    connect(lbxIndex, &QListWidget::itemActivated, this, &TfrmHelp::lbxIndexActivate);
    connect(lbxTopics, &QListWidget::itemActivated, this, &TfrmHelp::btnDisplayClick);
    connect(lbxTopics, &QListWidget::itemClicked, this, &TfrmHelp::btnDisplayClick);
    connect(btnDisplay, &QPushButton::clicked, this, &TfrmHelp::btnDisplayClick);
}

void TfrmHelp::FillContents() {
    const std::string object = SitemapObject(help_, help_.System().ContentsFile, ".hhc");
    const auto bytes = object.empty() ? std::nullopt : help_.ReadObject(object);
    if (!bytes) {
        tabNavigation->setTabEnabled(0, false);
        return;
    }
    std::vector<QTreeWidgetItem*> levels;
    for (const TSitemapEntry& entry : ReadSitemap(*bytes)) {
        const size_t depth = std::min(static_cast<size_t>(entry.Depth), levels.size());
        levels.resize(depth);
        auto* item =
            depth == 0 ? new QTreeWidgetItem(tvContents) : new QTreeWidgetItem(levels.back());
        item->setText(0, Text(entry.Name));
        if (!entry.Topics.empty()) {
            const auto [path, fragment] = SplitFragment(entry.Topics.front().Local);
            const std::string object = help_.ResolveTopic(path);
            if (!object.empty()) {
                item->setData(0, kPathRole, QString::fromStdString(object));
                titles_.emplace(object, item->text(0));
            }
        }
        levels.push_back(item);
    }
    // Headings get the folder icon, pages the page icon.
    for (QTreeWidgetItemIterator it(tvContents); *it; ++it) {
        const bool heading = (*it)->childCount() > 0 || !(*it)->data(0, kPathRole).isValid();
        (*it)->setIcon(0,
                       style()->standardIcon(heading ? QStyle::SP_DirIcon : QStyle::SP_FileIcon));
    }
    tvContents->expandAll();
}

void TfrmHelp::FillIndex() {
    const std::string object = SitemapObject(help_, help_.System().IndexFile, ".hhk");
    const auto bytes = object.empty() ? std::nullopt : help_.ReadObject(object);
    if (!bytes) {
        tabNavigation->setTabEnabled(1, false);
        return;
    }
    // Tarnwick writes one entry per word and topic; consecutive entries of one word at one level
    // are one keyword with several topics.
    for (const TSitemapEntry& entry : ReadSitemap(*bytes)) {
        if (entry.Name.empty()) {
            continue;
        }
        if (keywords_.empty() || keywords_.back().Depth != entry.Depth ||
            !collator_.Equal(keywords_.back().Bytes, entry.Name)) {
            keywords_.push_back({Text(entry.Name), entry.Depth, entry.Name, {}});
        }
        TKeyword& keyword = keywords_.back();
        for (const TSitemapTopic& topic : entry.Topics) {
            const auto [path, fragment] = SplitFragment(topic.Local);
            const std::string objectPath = help_.ResolveTopic(path);
            if (objectPath.empty()) {
                continue;
            }
            const std::string target = fragment.empty() ? objectPath : objectPath + "#" + fragment;
            const bool listed =
                std::any_of(keyword.Topics.begin(), keyword.Topics.end(),
                            [&](const auto& known) { return known.second == target; });
            if (!listed) {
                keyword.Topics.emplace_back(TopicTitle(objectPath, topic.Title), target);
            }
        }
    }
    for (const TKeyword& keyword : keywords_) {
        lbxIndex->addItem(QString(keyword.Depth * 4, QLatin1Char(' ')) + keyword.Text);
    }
    if (lbxIndex->count() > 0) {
        lbxIndex->setCurrentRow(0);
    }
}

QString TfrmHelp::TopicTitle(const std::string& objectPath, const std::string& givenTitle) {
    if (!givenTitle.empty()) {
        return Text(givenTitle);
    }
    // The contents' name of the page, else the page's own title, else its path; read once.
    const auto known = titles_.find(objectPath);
    if (known != titles_.end()) {
        return known->second;
    }
    QString title = QString::fromStdString(objectPath);
    if (const auto page = help_.ReadObject(objectPath)) {
        const std::string pageTitle = ReadPageTitle(*page);
        if (!pageTitle.empty()) {
            title = Text(pageTitle);
        }
    }
    titles_.emplace(objectPath, title);
    return title;
}

void TfrmHelp::ShowOver(QWidget* owner) {
    const bool wasOpen = isVisible();
    const QRect frame = geometry();
    if (parentWidget() != owner) {
        setParent(owner, windowFlags() | Qt::Window);
        if (wasOpen) {
            setGeometry(frame);
        }
    }
    if (!wasOpen) {
        QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        // Within the screen frame and all (FrameMargins), so the title bar stays on it.
        const QRect available = (screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768))
                                    .marginsRemoved(FrameMargins(*this));
        const QSize size(std::min(width(), available.width()),
                         std::min(height(), available.height()));
        const QPoint centre =
            owner ? owner->window()->frameGeometry().center() : available.center();
        QRect placed(QPoint(centre.x() - size.width() / 2, centre.y() - size.height() / 2), size);
        placed.moveLeft(
            std::clamp(placed.left(), available.left(), available.right() - size.width() + 1));
        placed.moveTop(
            std::clamp(placed.top(), available.top(), available.bottom() - size.height() + 1));
        setGeometry(placed);
    }
    WatchOwner(owner);
    show();
    raise();
    activateWindow();
}

void TfrmHelp::WatchOwner(QWidget* owner) {
    if (watchedOwner_ == owner) {
        return;
    }
    if (watchedOwner_) {
        watchedOwner_->removeEventFilter(this);
    }
    watchedOwner_ = owner;
    if (owner && owner->parentWidget()) {
        owner->installEventFilter(this);
    }
}

bool TfrmHelp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ebxIndexFilter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
            key == Qt::Key_PageDown) {
            QCoreApplication::sendEvent(lbxIndex, event);
            return true;
        }
    }
    if (watched == watchedOwner_ && event->type() == QEvent::Hide &&
        parentWidget() == watchedOwner_ && watchedOwner_->parentWidget()) {
        // The dialog that asked for help is closing: the help stays with the window behind it.
        QWidget* next = watchedOwner_->parentWidget()->window();
        const bool wasOpen = isVisible();
        const QRect frame = geometry();
        watchedOwner_->removeEventFilter(this);
        watchedOwner_ = nullptr;
        setParent(next, windowFlags() | Qt::Window);
        setGeometry(frame);
        WatchOwner(next);
        if (wasOpen) {
            show();
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TfrmHelp::ShowContext(int contextId) {
    const std::string topic = help_.TopicOfContext(static_cast<std::uint32_t>(contextId));
    ShowTopic(topic.empty() ? homeTopic_ : topic);
    return !topic.empty();
}

bool TfrmHelp::ShowTopic(const std::string& reference) {
    const auto [path, fragment] = SplitFragment(reference);
    const std::string object = help_.ResolveTopic(path);
    // A topic the file lacks still gets its address, so the browser shows the missing-page note.
    QUrl url = THelpBrowser::TopicUrl(object.empty() ? MissingObjectPath(path) : object);
    if (!fragment.empty()) {
        url.setFragment(QString::fromStdString(fragment));
    }
    Browser->setSource(url);
    return !object.empty();
}

std::string TfrmHelp::CurrentTopic() const {
    return THelpBrowser::ObjectPath(Browser->source());
}

void TfrmHelp::SourceChanged(const QUrl& url) {
    const QString base = help_.System().Title.empty() ? untitled_ : Text(help_.System().Title);
    const QString page = Browser->documentTitle();
    setWindowTitle(url.isEmpty() || page.isEmpty() ? base : base + QStringLiteral(" - ") + page);
    // Keep the contents in step with the page shown, without following the selection.
    const QString path = QString::fromStdString(THelpBrowser::ObjectPath(url));
    const QSignalBlocker blocker(tvContents);
    for (QTreeWidgetItemIterator it(tvContents); *it; ++it) {
        if (!path.isEmpty() && (*it)->data(0, kPathRole).toString() == path) {
            tvContents->setCurrentItem(*it);
            return;
        }
    }
    tvContents->clearSelection();
}

void TfrmHelp::tvContentsActivate(QTreeWidgetItem* item) {
    const QString path = item ? item->data(0, kPathRole).toString() : QString();
    if (path.isEmpty()) {
        if (item) {
            item->setExpanded(!item->isExpanded());
        }
        return;
    }
    Browser->setSource(THelpBrowser::TopicUrl(path.toStdString()));
}

void TfrmHelp::ebxIndexFilterChange(const QString& text) {
    const std::optional<std::string> filter = FromQt(text.trimmed(), codePage_);
    auto matches = [&](const TKeyword& keyword) {
        if (!filter) {
            return false;
        }
        return keyword.Bytes.size() >= filter->size() &&
               collator_.Equal(std::string_view(keyword.Bytes).substr(0, filter->size()), *filter);
    };
    int first = -1;
    bool parentShown = false;
    for (size_t i = 0; i < keywords_.size(); ++i) {
        const TKeyword& keyword = keywords_[i];
        bool shown = matches(keyword);
        if (keyword.Depth == 0) {
            parentShown = shown;
        } else {
            shown = shown || parentShown;
        }
        lbxIndex->item(static_cast<int>(i))->setHidden(!shown);
        if (shown && first < 0) {
            first = static_cast<int>(i);
        }
    }
    lbxIndex->setCurrentRow(first);
    if (first >= 0) {
        lbxIndex->scrollToItem(lbxIndex->item(first), QAbstractItemView::PositionAtTop);
    }
}

std::vector<QString> TfrmHelp::VisibleKeywords() const {
    std::vector<QString> visible;
    for (int row = 0; row < lbxIndex->count(); ++row) {
        if (!lbxIndex->item(row)->isHidden()) {
            visible.push_back(lbxIndex->item(row)->text().trimmed());
        }
    }
    return visible;
}

void TfrmHelp::lbxIndexRowChange(int row) {
    lbxTopics->clear();
    if (row < 0 || row >= static_cast<int>(keywords_.size())) {
        return;
    }
    for (const auto& [title, target] : keywords_[static_cast<size_t>(row)].Topics) {
        auto* item = new QListWidgetItem(title, lbxTopics);
        item->setData(kPathRole, QString::fromStdString(target));
    }
    if (lbxTopics->count() > 0) {
        lbxTopics->setCurrentRow(0);
    }
}

void TfrmHelp::lbxIndexActivate() {
    if (lbxTopics->count() > 0 && lbxTopics->currentRow() < 0) {
        lbxTopics->setCurrentRow(0);
    }
    btnDisplayClick();
}

void TfrmHelp::btnDisplayClick() {
    const QListWidgetItem* item = lbxTopics->currentItem();
    if (item) {
        ShowTopic(item->data(kPathRole).toString().toStdString());
    }
}

void TfrmHelp::ShowHome() {
    ShowTopic(homeTopic_);
}

}  // namespace tarnwick
