// The Qt boundary for text: the core's Windows-1252 bytes become QStrings only here, and typed
// text goes back to bytes without loss. Paths are Linux file names, not Windows-1252 text.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

QString ToQt(std::string_view cp1252);
// The text as Windows-1252 bytes, or nothing when it holds a character the code page lacks.
std::optional<std::string> ToCp1252(const QString& text);

QString PathToQt(const std::string& path);
std::string PathFromQt(const QString& path);

// The bytes themselves, carried through Qt unchanged (item data, combo box data).
QByteArray Bytes(std::string_view bytes);
std::string FromBytes(const QByteArray& bytes);

}  // namespace tarnwick
