#include "ui/qt_text.h"

#include <QFile>

#include "support/cp1252.h"

namespace tarnwick {

QString ToQt(std::string_view cp1252) {
    QString text(static_cast<qsizetype>(cp1252.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : cp1252) {
        *out++ = QChar(Cp1252ToUnicode(static_cast<unsigned char>(c)));
    }
    return text;
}

std::optional<std::string> ToCp1252(const QString& text) {
    std::string bytes;
    if (!EncodeCp1252(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
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
