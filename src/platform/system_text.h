// The two text rules the platform layer itself needs: the system's text for an error number, and
// ASCII letters compared without regard to case (file names matched the way Windows-written
// projects spell them).
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The system's text for an error number; 0 means the calling thread's errno.
std::string SystemErrorText(int code = 0);

// ASCII letters compared without regard to case, every other byte exactly: the rule for fixed
// texts of a file format (section headers, key and attribute names) and for file names.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);

}  // namespace tarnwick
