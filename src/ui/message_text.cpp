#include "ui/message_text.h"

#include <QString>

#include "ui/qt_text.h"

namespace tarnwick {

std::string MessageName(const std::string& fileText) {
    const QString text = PathToQt(fileText);
    if (const std::optional<std::string> whole = ToCp1252(text)) {
        return *whole;
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (const QChar c : text) {
        const std::optional<std::string> one = ToCp1252(QString(c));
        bytes += one ? *one : std::string("?");
    }
    return bytes;
}

}  // namespace tarnwick
