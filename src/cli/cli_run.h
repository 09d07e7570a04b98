// What tarnwick-cli does once its command line is read: scan the project, and either print what
// it names (--scan) or parse its topic files and write what was asked for.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_options.h"

namespace tarnwick::cli {

// Runs the command; returns the exit status (kExitOk, kExitSomeFilesUnopened, kExitFailure).
// --scan output goes to `out`; errors and progress go to `err`, including what the desktop
// program shows in a box (for an unopenable page: "Could not open file" and the path on the next
// line).
int RunCommand(const TCliOptions& options, std::ostream& out, std::ostream& err, bool showProgress);

}  // namespace tarnwick::cli
