// tarnwick-cli: the index pipeline from the command line, for scripted help builds.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "support/message.h"
#include "support/utils.h"

namespace {

// The messages the desktop program shows in a box, printed as their bare text on stderr
// (for an unopenable page: "Could not open file" and the path on the next line).
class TStderrMesg : public tarnwick::TMesg {
protected:
    int ShowBox(const std::string& text, const std::string& /*caption*/, unsigned style,
                tarnwick::WindowHandle /*owner*/) override {
        std::cerr << text << '\n' << std::flush;
        return tarnwick::UnattendedAnswer(style);
    }
};

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
    TStderrMesg mesg;
    tarnwick::SetMesg(&mesg);
    const bool showProgress = !commandLine.Options.Quiet && ::isatty(STDERR_FILENO) == 1;
    int status = kExitFailure;
    try {
        status = RunCommand(commandLine.Options, std::cout, std::cerr, showProgress);
    } catch (const std::exception& error) {
        std::cerr << "tarnwick-cli: " << error.what() << '\n';
        status = kExitFailure;
    }
    tarnwick::SetMesg(nullptr);
    return FlushedExit(status);
}
