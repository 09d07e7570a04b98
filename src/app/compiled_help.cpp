#include "app/compiled_help.h"

#include "pipeline/hhp_scanner.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "support/utils.h"

namespace tarnwick {

std::string CompiledHelpFile(const std::string& projectFile) {
    const std::string project = ReadRegularFile(projectFile, kMaxProjectFileSize, "a project file");
    // The folder with its "/" ("" for a project named without one).
    const std::string folder = projectFile.substr(0, projectFile.rfind('/') + 1);
    std::string named = ToOpenPath(THhpScanner::ReadKeyValue(project, "\nCompiled file"));
    if (named.size() >= 2 && named[1] == ':') {
        named = SplitPath(named).NameExt;
    }
    if (named.empty()) {
        named = SplitPath(projectFile).Name + ".chm";
    }
    const std::string file = named.front() == '/' ? named : folder + named;
    const std::string onDisk = ResolvePathIgnoringCase(file);
    return onDisk.empty() ? file : onDisk;
}

}  // namespace tarnwick
