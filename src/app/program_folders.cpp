#include "app/program_folders.h"

#include <filesystem>
#include <vector>

#include "platform/file_system.h"
#include "platform/os.h"
#include "store/kdf.h"
#include "support/utils.h"

namespace tarnwick {
namespace {

constexpr std::string_view kApplicationName = "Tarnwick";

struct Folders {
    std::string Program;
    std::string Data;
    std::string ExcludeList;
};

Folders& State() {
    static Folders folders;
    return folders;
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

}  // namespace

std::string LocateProgramFolder(const std::string& executableFolder) {
    const std::string folder = WithSlash(executableFolder);
    if (FileExists(folder + std::string(DefaultExcludeListName))) {
        return folder;
    }
    return WithSlash(
        std::filesystem::path(folder + "../share/tarnwick/").lexically_normal().string());
}

const std::string& ProgramFolder() {
    Folders& state = State();
    if (state.Program.empty()) {
        state.Program = LocateProgramFolder(ExecutableFolder());
    }
    return state.Program;
}

void SetProgramFolder(std::string folder) {
    State().Program = WithSlash(std::move(folder));
}

const std::string& DataFolder() {
    return State().Data;
}
const std::string& ExcludeListFolder() {
    return State().ExcludeList;
}

std::string DefaultExcludeListPath() {
    const std::string appData = AppDataFolder(kApplicationName);
    if (!appData.empty()) {
        const std::string userList = WithSlash(appData) + std::string(ExcludeListSubfolder) +
                                     std::string(DefaultExcludeListName);
        if (PathExists(userList)) {
            return userList;
        }
    }
    return ProgramFolder() + std::string(DefaultExcludeListName);
}

std::vector<std::string> PrepareDataFolders() {
    Folders& state = State();
    state.Data.clear();
    state.ExcludeList.clear();
    std::vector<std::string> failures;
    const std::string appData = AppDataFolder(kApplicationName);
    if (appData.empty()) {
        return failures;  // no data folder: the program runs without a configuration
    }
    state.Data = WithSlash(appData);
    state.ExcludeList = state.Data + std::string(ExcludeListSubfolder);
    if (!FolderExists(state.Data)) {
        if (std::string failure = ForceFolder(state.Data); !failure.empty()) {
            failures.push_back(std::move(failure));
        }
    } else {
        // A configuration write stopped by a crash or a kill leaves its temporary copy behind;
        // one that another running Tarnwick is writing right now stays (see the container).
        CKdf::RemoveLeftoverTemporaryFiles(state.Data);
    }
    if (FolderExists(state.ExcludeList)) {
        // What a list save cut short by a crash or a kill left behind.
        RemoveLeftoverTemporaries(state.ExcludeList.substr(0, state.ExcludeList.size() - 1));
    } else if (std::string failure = ForceFolder(state.ExcludeList); !failure.empty()) {
        // One failure, one message: the list's folder under a data folder that could not be
        // made says nothing new.
        if (failures.empty()) {
            failures.push_back(std::move(failure));
        }
    } else {
        const std::string source = ProgramFolder() + std::string(DefaultExcludeListName);
        // A program without its installed list has nothing to copy; any other failure leaves
        // the user without a default list and is worth saying.
        if (FileExists(source)) {
            std::string copyFailure = CopyWithoutOverwriting(
                source, state.ExcludeList + std::string(DefaultExcludeListName), kMaxListFileSize,
                "an exclude list");
            if (!copyFailure.empty()) {
                failures.push_back(std::move(copyFailure));
            }
        }
    }
    return failures;
}

}  // namespace tarnwick
