#include "app/compiled_help.h"

#include <filesystem>
#include <system_error>

#include "output/compile_staging.h"
#include "output/output_names.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "support/utils.h"

namespace tarnwick {
namespace {

// The file as spelled on disk, or the path itself when nothing matches.
std::string OnDisk(const std::string& path) {
    const std::string found = ResolvePathIgnoringCase(path);
    return found.empty() ? path : found;
}

}  // namespace

std::string CompiledHelpFile(const std::string& projectFile) {
    const std::string project = ReadRegularFile(projectFile, kMaxProjectFileSize, "a project file");
    // The folder with its "/" ("" for a project named without one).
    const std::string folder = projectFile.substr(0, projectFile.rfind('/') + 1);
    // The option as the compile reads it, so that the help window opens what it wrote.
    const std::string option = CompiledFileOption(project);
    const std::string beside = OnDisk(folder + CompiledFileName(option, projectFile));
    const std::string named = ToOpenPath(option);
    const bool drive = named.size() >= 2 && named[1] == ':';
    if (FileNamePart(named).empty() || drive) {
        return beside;
    }
    const std::string asNamed = OnDisk(named.front() == '/' ? named : folder + named);
    std::error_code besideMissing;
    std::error_code namedMissing;
    const auto besideTime = std::filesystem::last_write_time(beside, besideMissing);
    const auto namedTime = std::filesystem::last_write_time(asNamed, namedMissing);
    if (namedMissing || (!besideMissing && besideTime >= namedTime)) {
        return beside;
    }
    return asNamed;
}

}  // namespace tarnwick
