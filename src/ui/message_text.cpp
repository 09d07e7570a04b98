#include "ui/message_text.h"

#include <QString>

#include "support/message.h"
#include "ui/qt_text.h"

namespace tarnwick {

std::string MessageName(const std::string& fileText) {
    const TCodePage& codePage = TCodePage::For(Mesg().CodePage);
    const QString text = PathToQt(fileText);
    if (const std::optional<std::string> whole = FromQt(text, codePage)) {
        return *whole;
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (const QChar c : text) {
        const std::optional<std::string> one = FromQt(QString(c), codePage);
        bytes += one ? *one : std::string("?");
    }
    return bytes;
}

}  // namespace tarnwick
