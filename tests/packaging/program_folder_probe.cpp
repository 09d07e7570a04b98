// Run from the bin/ folder of an installed tree: tells whether the program folder that Tarnwick
// finds from there holds the default exclude list and the help file, and whether the help opens
// at the main window's topic. Exit status 0 when everything is found.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "app/program_folders.h"
#include "help/html_help.h"
#include "platform/os.h"

int main() {
    using namespace tarnwick;
    const std::string folder = ProgramFolder();
    std::printf("program folder: %s\n", folder.c_str());
    int failures = 0;
    auto check = [&failures](bool ok, const std::string& what) {
        std::printf("%s: %s\n", ok ? "found" : "MISSING", what.c_str());
        failures += ok ? 0 : 1;
    };
    std::error_code error;
    check(std::filesystem::equivalent(folder, ExecutableFolder() + "../share/tarnwick", error),
          "the share folder of the tree");
    check(FileExists(folder + std::string(DefaultExcludeListName)), "the default exclude list");
    check(FileExists(folder + "Tarnwick.chm"), "the help file");
    try {
        OpenHtmlHelp(folder + "Tarnwick.chm");
        check(CurrentHtmlHelp()->TopicOfContext(7) == "/html/main_window.htm",
              "the main window's help topic");
        CloseHtmlHelp();
    } catch (const std::exception& e) {
        std::printf("help does not open: %s\n", e.what());
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
