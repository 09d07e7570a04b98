// Where a help project's compiled help file is: the file its "Compiled file" option names, which
// the desktop program opens in its help window.
#pragma once

#include <string>

namespace tarnwick {

// The compiled help file of the project at `projectFile` (a Linux path). The option's value is
// read with "\" as "/" and relative to the project's folder, in the letter case found on disk; a
// Windows path with a drive ("C:\Help\Garden.chm") stands for its file name in the project's
// folder, where the author's build put it next to the project. Without the option, the project's
// own name with ".chm", beside it. Throws EFOpenError when the project file cannot be read.
std::string CompiledHelpFile(const std::string& projectFile);

}  // namespace tarnwick
