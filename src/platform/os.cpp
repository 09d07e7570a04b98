#include "platform/os.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/system_text.h"

namespace tarnwick {

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutableFolder() {
    std::string path = ExecutablePath();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string ToOpenPath(std::string_view projectName) {
    std::string path(projectName);
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

namespace {

// The entry of `folder` that matches `name` without regard to ASCII case, or empty.
std::string MatchEntry(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        return {};
    }
    std::string best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate == name) {
            best = candidate;
            break;
        }
        if (EqualsAsciiNoCase(candidate, name) && (best.empty() || candidate < best)) {
            best = candidate;
        }
    }
    ::closedir(dir);
    return best;
}

}  // namespace

std::string ResolvePathIgnoringCase(const std::string& path) {
    if (PathExists(path)) {
        return path;
    }
    if (path.empty()) {
        return {};
    }
    const size_t rootLength = path[0] == '/' ? 1 : 0;
    std::string resolved(rootLength, '/');
    size_t pos = rootLength;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        const std::string part = path.substr(pos, next - pos);
        if (!part.empty()) {
            std::string joined = resolved + part;
            if (part != "." && part != ".." && !PathExists(joined)) {
                const std::string match = MatchEntry(resolved, part);
                if (match.empty()) {
                    return {};
                }
                joined = resolved + match;
            }
            resolved = joined;
            if (next < path.size()) {
                resolved += '/';
            }
        }
        pos = next + 1;
    }
    return PathExists(resolved) ? resolved : std::string();
}

std::vector<std::string> ListTextFiles(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        return names;
    }
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < 4 ||
            !EqualsAsciiNoCase(std::string_view(name).substr(name.size() - 4), ".txt")) {
            continue;
        }
        struct stat st {};
        if (::stat((base + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

bool MakeOwnerWritable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    if (st.st_mode & S_IWUSR) {
        return true;
    }
    return ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

}  // namespace tarnwick
