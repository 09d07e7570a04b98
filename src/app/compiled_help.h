// Where a help project's compiled help is: the file its "Compiled file" option names, which the
// desktop program opens in its help window.
#pragma once

#include <string>

namespace tarnwick {

// The compiled help file of the project at `projectFile` (a Linux path). The option is read as a
// compile reads it (CompiledFileOption), its value with "\" as "/" and relative to the project's
// folder, in the letter case found on disk; without the option, or when it names no file, it is
// the project's own name with ".chm". A compile on Linux puts the file under its bare name beside
// the project, wherever the option points (a Windows build put it in "..\Release\", say, or on a
// drive): of that file and the one the option names, the one compiled last; when neither exists,
// the one beside the project. Throws EFOpenError when the project file cannot be read.
std::string CompiledHelpFile(const std::string& projectFile);

}  // namespace tarnwick
