// tarnwick-cli: the index pipeline from the command line, for scripted help builds.
#include <CLI/CLI.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    CLI::App app{"Builds the keyword index of an HTML Help project.", "tarnwick-cli"};
    app.set_version_flag("--version", TARNWICK_VERSION);
    CLI11_PARSE(app, argc, argv);
    return 0;
}
