#include "platform/os.h"

#include <dirent.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
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

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSymbolicLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

int MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

int AvailableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) {
            return count;
        }
    }
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace tarnwick
