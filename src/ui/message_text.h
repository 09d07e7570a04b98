// Texts from the file system made fit for a message box: Mesg() shows bytes in its code page
// (the open project's), while file names and the system's error texts are in the file system's
// encoding.
#pragma once

#include <string>

namespace tarnwick {

// The text (file system encoding) as bytes of Mesg().CodePage; a character the code page lacks
// becomes "?".
std::string MessageName(const std::string& fileText);

}  // namespace tarnwick
