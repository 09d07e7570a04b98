// TdlgAbout: the about box - the program's name and picture, a one-line description, the
// version, the maker, a link to the project's web site and the legal notice; OK closes it.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;
class QWidget;

namespace tarnwick {

class TdlgAbout : public QDialog {
    Q_OBJECT
public:
    // The project's web site and legal notice, as the box shows them.
    static const QUrl& WebAddress();
    static QString LegalNotice();

    // Centres itself on the screen and shows the program's version.
    explicit TdlgAbout(QWidget* owner = nullptr);

    QLabel* imgLogo = nullptr;
    QWidget* pnlText = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblBy = nullptr;
    QLabel* lblFernhollow = nullptr;
    QLabel* lblDotCom = nullptr;
    QLabel* lblLegal = nullptr;
    QPushButton* btnOk = nullptr;

    // Opens a web address in the browser and tells whether that worked. Unset, the desktop's
    // browser opens it (QDesktopServices::openUrl); tests put their own here.
    std::function<bool(const QUrl&)> UrlOpener;

public slots:
    void btnOkClick();
    // Opens the web site; a browser that cannot be started is reported in an "Error" box and
    // the dialog stays open.
    void lblDotComClick();
};

}  // namespace tarnwick
