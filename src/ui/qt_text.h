// The Qt boundary for text: a help project's bytes become QStrings only here, and typed text goes
// back to bytes without loss. Text is in a Windows code page - the open project's for its words
// and names, Windows-1252 for everything outside a project - and every call names it. Paths are
// Linux file names, not text of a code page.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "support/code_page.h"

namespace tarnwick {

// The bytes as shown: every byte string gives a QString that FromQt turns back into the very
// bytes (TCodePage::DecodeShown).
QString ToQt(std::string_view text, const TCodePage& codePage);
// The text as bytes of the code page, or nothing when it holds a character the code page lacks.
std::optional<std::string> FromQt(const QString& text, const TCodePage& codePage);

QString PathToQt(const std::string& path);
std::string PathFromQt(const QString& path);

// The bytes themselves, carried through Qt unchanged (item data, combo box data).
QByteArray Bytes(std::string_view bytes);
std::string FromBytes(const QByteArray& bytes);

}  // namespace tarnwick
