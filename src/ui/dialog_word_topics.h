// TdlgWordTopics: the topics of one word of the word view - the topic files the word is found
// in, as the project writes them - each of which it opens in the desktop's browser, so that the
// author sees where a word is used before keeping or dropping it.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace tarnwick {

class TCodePage;

class TdlgWordTopics : public QDialog {
    Q_OBJECT
public:
    explicit TdlgWordTopics(QWidget* owner);

    // Lists `topics` (topic entries in the project's code page, in the word's order) for the
    // word `word` (as shown); the pages are looked for in `projectFolder`.
    void Prepare(const QString& word, const std::vector<std::string>& topics,
                 const TCodePage& codePage, const std::string& projectFolder);

    // The page a topic entry names: the project folder joined with the entry, "\" turned into
    // "/", found without regard to letter case as the parse finds it; empty when there is none.
    std::string PagePath(const std::string& entry) const;

    // Opens a URL instead of the desktop's browser when set (tests); returns whether it opened.
    std::function<bool(const QUrl&)> UrlOpener;

    QListWidget* lbxTopics = nullptr;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnClose = nullptr;

public slots:
    // Opens the current topic's page; a page that is missing or a browser that cannot be
    // started is reported in a message box.
    void btnOpenClick();

private:
    std::vector<std::string> topics_;
    std::string projectFolder_;
};

}  // namespace tarnwick
