// tarnwick-cli: the index pipeline from the command line, for scripted help builds.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "support/utils.h"

namespace {

// The status to exit with once standard output has been flushed: a listing that did not reach
// its file (a full disk, a closed pipe) is a failure, not a success.
int FlushedExit(int status) {
    errno = 0;
    std::cout.flush();
    if (!std::cout) {
        const int error = errno;
        std::cerr << "tarnwick-cli: standard output could not be written"
                  << (error != 0 ? ": " + tarnwick::SystemErrorText(error) : std::string()) << '\n';
        return tarnwick::cli::kExitFailure;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarnwick::cli;
    const TCommandLine commandLine = ParseCommandLine(argc, argv, std::cout, std::cerr);
    if (!commandLine.Run) {
        return FlushedExit(commandLine.ExitCode);
    }
    const bool showProgress = !commandLine.Options.Quiet && ::isatty(STDERR_FILENO) == 1;
    int status = kExitFailure;
    try {
        status = RunCommand(commandLine.Options, std::cout, std::cerr, showProgress);
    } catch (const std::exception& error) {
        std::cerr << "tarnwick-cli: " << error.what() << '\n';
        status = kExitFailure;
    }
    return FlushedExit(status);
}
