#include "app/program_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/file_system.h"
#include "platform/os.h"
#include "store/kdf.h"
#include "support/message.h"
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

// Copies `source` to `target` unless `target` exists. The bytes go to a temporary file first and
// take the final name only when complete, so a full disk never leaves half a list behind.
// Returns an empty text, or the text of the failure.
std::string CopyWithoutOverwriting(const std::string& source, const std::string& target) {
    std::string bytes;
    try {
        bytes = ReadRegularFile(source, kMaxListFileSize, "an exclude list");
    } catch (const EFOpenError& e) {
        return e.what();
    }
    // Named and locked as the file layer's temporary files are, so that one left by a crash is
    // cleaned up with theirs.
    const std::filesystem::path path(target);
    std::string tempName =
        (path.parent_path() / ("." + path.filename().string() + ".tarnwick-XXXXXX")).string();
    const int fd = CreateLockedTemporary(tempName);
    if (fd < 0) {
        return SystemErrorText(errno);
    }
    int error = 0;
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0 && error == 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (error == 0 && ::fchmod(fd, 0644) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    // link() refuses an existing name, which is the "without overwriting" of the copy.
    if (error == 0 && ::link(tempName.c_str(), target.c_str()) != 0 && errno != EEXIST) {
        error = errno;
    }
    ::unlink(tempName.c_str());
    return error == 0 ? std::string() : SystemErrorText(error);
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

void PrepareDataFolders() {
    Folders& state = State();
    state.Data.clear();
    state.ExcludeList.clear();
    const std::string appData = AppDataFolder(kApplicationName);
    if (appData.empty()) {
        return;  // no data folder: the program runs without a configuration
    }
    state.Data = WithSlash(appData);
    state.ExcludeList = state.Data + std::string(ExcludeListSubfolder);
    if (!FolderExists(state.Data)) {
        ForceFolder(state.Data);  // reports its own failure
    } else {
        // A configuration write stopped by a crash or a kill leaves its temporary copy behind;
        // one that another running Tarnwick is writing right now stays (see the container).
        CKdf::RemoveLeftoverTemporaryFiles(state.Data);
    }
    if (FolderExists(state.ExcludeList)) {
        // What a list save cut short by a crash or a kill left behind.
        RemoveLeftoverTemporaries(state.ExcludeList.substr(0, state.ExcludeList.size() - 1));
    } else if (ForceFolder(state.ExcludeList)) {
        const std::string source = ProgramFolder() + std::string(DefaultExcludeListName);
        // A program without its installed list has nothing to copy; any other failure leaves
        // the user without a default list and is worth saying.
        if (FileExists(source)) {
            const std::string failure = CopyWithoutOverwriting(
                source, state.ExcludeList + std::string(DefaultExcludeListName));
            if (!failure.empty()) {
                Mesg().ShowCaptioned(failure, "System Error", kMbError, nullptr);
            }
        }
    }
}

}  // namespace tarnwick
