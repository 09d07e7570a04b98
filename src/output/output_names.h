// The text rules the output writers share for the names they are given: trimming a project's
// name, the file-name part of a path, and changing a file name's extension.
#pragma once

#include <string>
#include <string_view>

#include "support/utils.h"  // TrimBlanks

namespace tarnwick {

// What follows the last "/" or "\" of a path; the whole text when it has neither. Both count,
// because a project's own names use "\" and the folders Tarnwick adds use "/".
std::string_view FileNamePart(std::string_view path);

// The path with the extension of its file-name part (from that part's last ".") replaced by
// `extension`, or with `extension` added when the file-name part has no "."; a "." in a folder
// name never counts. "docs.v2\Index" gives "docs.v2\Index.hhk" for ".hhk".
std::string ChangeFileExtension(std::string_view path, std::string_view extension);

}  // namespace tarnwick
