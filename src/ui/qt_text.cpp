#include "ui/qt_text.h"

#include <QFile>

namespace tarnwick {

QString ToQt(std::string_view text, const TCodePage& codePage) {
    const std::u16string shown = codePage.DecodeShown(text);
    return QString::fromUtf16(shown.data(), static_cast<qsizetype>(shown.size()));
}

std::optional<std::string> FromQt(const QString& text, const TCodePage& codePage) {
    std::string bytes;
    if (!codePage.EncodeShown(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                  static_cast<size_t>(text.size())),
                              bytes)) {
        return std::nullopt;
    }
    return bytes;
}

QString PathToQt(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string PathFromQt(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QByteArray Bytes(std::string_view bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string FromBytes(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace tarnwick
