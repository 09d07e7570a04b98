#include "platform/qt/qt_mesg.h"

#include <QApplication>
#include <QMessageBox>

#include "support/code_page.h"

namespace tarnwick {
namespace {

QString Decoded(const std::string& bytes, const TCodePage& codePage) {
    const std::u16string text = codePage.DecodeShown(bytes);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int TQtMesg::ShowBox(const std::string& text, const std::string& caption, unsigned style,
                     WindowHandle owner) {
    QWidget* parent = QApplication::activeWindow();
    if (owner) {
        parent = static_cast<QWidget*>(owner);
    }
    QMessageBox box(parent);
    const TCodePage& codePage = TCodePage::For(CodePage);
    box.setWindowTitle(Decoded(caption, codePage));
    box.setText(Decoded(text, codePage));
    switch (style & 0xF0) {
        case 0x10:
            box.setIcon(QMessageBox::Critical);
            break;
        case 0x20:
            box.setIcon(QMessageBox::Question);
            break;
        case 0x30:
            box.setIcon(QMessageBox::Warning);
            break;
        case 0x40:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    switch (style & 0x0F) {
        case 0x03:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case 0x04:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return kIdYes;
        case QMessageBox::No:
            return kIdNo;
        case QMessageBox::Cancel:
            return kIdCancel;
        default:
            return kIdOk;
    }
}

}  // namespace tarnwick
