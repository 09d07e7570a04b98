#include "ui/dialog_about.h"

#include <QDesktopServices>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "support/message.h"
#include "ui/dialog_resources.h"

namespace tarnwick {

namespace {

constexpr int kClientWidth = 362;
constexpr int kClientHeight = 229;
constexpr int kTextPanelWidth = 212;
constexpr QSize kLogoSize(150, 129);
// A plain box with an OK button and no icon.
constexpr unsigned kMbOk = 0x00;

// The about box's lettering; where Arial is missing the nearest sans-serif face stands in.
QFont AboutFont(const QFont& base, int pixelSize) {
    QFont font = base;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    if (pixelSize > 0) {
        font.setPixelSize(pixelSize);
    }
    return font;
}

}  // namespace

const QUrl& TdlgAbout::WebAddress() {
    // The project's home page; the Debian package names the same address.
    static const QUrl address(QStringLiteral("https://fernhollow.example/tarnwick"));
    return address;
}

QString TdlgAbout::LegalNotice() {
    return QStringLiteral(
        "Copyright \u00A9 2026 the Tarnwick developers.\n"
        "Licensed under the GNU GPL, version 3 or later.");
}

TdlgAbout::TdlgAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("dlgAbout"));
    setWindowTitle(QStringLiteral("About Tarnwick"));
    setModal(true);

    imgLogo = new QLabel(this);
    imgLogo->setFixedSize(kLogoSize);
    imgLogo->setAlignment(Qt::AlignCenter);
    imgLogo->setPixmap(DialogIcon(DialogPicture::Logo).pixmap(kLogoSize, devicePixelRatioF()));

    pnlText = new QWidget(this);
    pnlText->setFixedWidth(kTextPanelWidth);
    lblTitle = new QLabel(QStringLiteral("Tarnwick"), pnlText);
    lblDescription = new QLabel(QStringLiteral("HTML Index Builder"), pnlText);
    lblVersion = new QLabel(QStringLiteral("Version 0.0.0.0"), pnlText);
    lblBy = new QLabel(QStringLiteral("by"), pnlText);
    lblFernhollow = new QLabel(QStringLiteral("Fernhollow Software"), pnlText);
    lblDotCom = new QLabel(pnlText);
    QFont title = AboutFont(font(), 16);
    title.setBold(true);
    lblTitle->setFont(title);
    lblDescription->setFont(AboutFont(font(), 15));
    lblBy->setFont(AboutFont(font(), 0));
    lblFernhollow->setFont(AboutFont(font(), 15));
    // The link label: underlined, a hand over it, reachable with Tab and opened with Enter.
    const QString shown = WebAddress().toString(QUrl::RemoveScheme).mid(2);
    lblDotCom->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                           .arg(WebAddress().toString(QUrl::FullyEncoded), shown.toHtmlEscaped()));
    lblDotCom->setTextFormat(Qt::RichText);
    lblDotCom->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblDotCom->setOpenExternalLinks(false);
    lblDotCom->setCursor(Qt::PointingHandCursor);
    lblDotCom->setToolTip(WebAddress().toString());
    auto* text = new QVBoxLayout(pnlText);
    text->setContentsMargins(0, 0, 0, 0);
    text->setSpacing(2);
    text->addStretch(1);
    for (QLabel* label : {lblTitle, lblDescription, lblVersion, lblBy, lblFernhollow, lblDotCom}) {
        label->setAlignment(Qt::AlignCenter);
        text->addWidget(label);
        if (label == lblDescription || label == lblVersion) {
            text->addSpacing(8);
        }
    }
    text->addStretch(1);

    lblLegal = new QLabel(LegalNotice(), this);
    lblLegal->setAlignment(Qt::AlignCenter);
    QFont small = font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() - 1));
    lblLegal->setFont(small);
    lblLegal->setMinimumHeight(2 * lblLegal->fontMetrics().lineSpacing());

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setDefault(true);
    btnOk->setFocus();  // Enter closes the box rather than following the link

    auto* top = new QHBoxLayout;
    top->addWidget(imgLogo, 0, Qt::AlignVCenter);
    top->addWidget(pnlText, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addStretch(1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addLayout(top, 1);
    outer->addWidget(lblLegal);
    outer->addLayout(buttons);

    const std::pair<QObject*, const char*> names[] = {
        {imgLogo, "imgLogo"},
        {pnlText, "pnlText"},
        {lblTitle, "lblTitle"},
        {lblDescription, "lblDescription"},
        {lblVersion, "lblVersion"},
        {lblBy, "lblBy"},
        {lblFernhollow, "lblFernhollow"},
        {lblDotCom, "lblDotCom"},
        {lblLegal, "lblLegal"},
        {btnOk, "btnOk"},
    };
    for (const auto& [object, name] : names) {
        object->setObjectName(QLatin1String(name));
    }

    connect(btnOk, &QPushButton::clicked, this, &TdlgAbout::btnOkClick);
    connect(lblDotCom, &QLabel::linkActivated, this, &TdlgAbout::lblDotComClick);

    // The program's version, the same four-part number the package carries.
    lblVersion->setText(QStringLiteral("Version " TARNWICK_VERSION));

    const QSize hint = sizeHint();
    setFixedSize(std::max(kClientWidth, hint.width()), std::max(kClientHeight, hint.height()));
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, 1024, 768);
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
}

void TdlgAbout::btnOkClick() {
    accept();
}

void TdlgAbout::lblDotComClick() {
    // The click left the focus on the link; Enter must now close the box, not open the site
    // once more.
    btnOk->setFocus();
    const bool opened =
        UrlOpener ? UrlOpener(WebAddress()) : QDesktopServices::openUrl(WebAddress());
    if (!opened) {
        Mesg().ShowCaptioned("Unable to open browser.", "Error", kMbOk, nullptr);
    }
}

}  // namespace tarnwick
