#include "support/utils.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/os.h"

namespace tarnwick {

std::string GroupDigits(std::string_view numberText) {
    std::string text(numberText);
    if (text.empty()) {
        return text;
    }
    // Positions are 1-based, as in the rule this follows: groups are counted back from the
    // decimal point, or from the end, and a leading sign is never separated from its digits.
    const auto dot = text.find('.');
    const long p = dot == std::string::npos ? 0 : static_cast<long>(dot) + 1;
    const long start = (text[0] >= '0' && text[0] <= '9') ? 1 : 2;
    long n = p != 0 ? p - 3 : static_cast<long>(text.size()) - 2;
    while (start < n) {
        text.insert(static_cast<size_t>(n - 1), 1, ',');
        n -= 3;
    }
    return text;
}

PathInfo SplitPath(std::string_view path) {
    PathInfo info;
    info.FullPath = std::string(path);
    if (info.FullPath.size() > 1 && info.FullPath.back() == '/') {
        info.FullPath.pop_back();
    }
    if (!info.FullPath.empty()) {
        info.Exists = PathExists(info.FullPath);
        info.IsFolder = info.Exists && IsFolder(info.FullPath);
        const char last = info.FullPath.back();
        if (info.IsFolder && last != '/' && last != '.') {
            info.FullPath.push_back('/');
        }
    }
    const auto slash = info.FullPath.rfind('/');
    std::string dir = slash == std::string::npos ? "" : info.FullPath.substr(0, slash + 1);
    std::string nameExt =
        slash == std::string::npos ? info.FullPath : info.FullPath.substr(slash + 1);
    if (!dir.empty() && dir.back() == '/') {
        dir.pop_back();
    }
    const auto dot = nameExt.rfind('.');
    if (dot == std::string::npos) {
        info.Name = nameExt;
    } else {
        info.Name = nameExt.substr(0, dot);
        info.Ext = nameExt.substr(dot);
    }
    info.Dir = dir;
    info.NameExt = info.Name + info.Ext;
    info.Folder = info.Drive + info.Dir;
    info.Length = info.FullPath.size();
    return info;
}

std::string ShellFolder(std::string_view valueName) {
    if (valueName != "AppData") {
        return {};
    }
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome) {
        return dataHome;
    }
    const char* home = std::getenv("HOME");
    if (home && *home) {
        return std::string(home) + "/.local/share";
    }
    return {};
}

std::string AppDataFolder(std::string_view subPath) {
    std::string base = ShellFolder("AppData");
    if (base.empty()) {
        return base;
    }
    return base + "/" + std::string(subPath);
}

bool FolderExists(std::string_view path) {
    if (path.empty()) {
        return false;
    }
    std::string text(path);
    if (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && isBlank(text.back()))
        text.pop_back();
    size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    text.erase(0, first);
    return !text.empty() && IsFolder(text);
}

bool IsDriveRoot(std::string_view path) {
    return path == "/";
}

std::string ForceFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const std::string parent = path.substr(0, slash);
        // One failure, one message: a child of a folder that could not be made cannot be made.
        if (!IsDriveRoot(parent)) {
            if (std::string failure = ForceFolder(parent); !failure.empty()) {
                return failure;
            }
        }
    }
    if (PathExists(path)) {
        return {};
    }
    const int error = MakeFolder(path);
    return error == 0 ? std::string() : SystemErrorText(error);
}

}  // namespace tarnwick
