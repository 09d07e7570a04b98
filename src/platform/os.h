// The operating system as the core needs it: where the program runs from, what a path names,
// finding a file that a Windows-written project names in other letter case, folders, file
// permissions and the processors the process may use.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// The running executable's path (/proc/self/exe) and its folder, the latter ending in "/".
std::string ExecutablePath();
std::string ExecutableFolder();

bool FileExists(const std::string& path);  // any existing entry that is not a folder
bool PathExists(const std::string& path);  // any existing entry
bool IsFolder(const std::string& path);    // an existing folder (symbolic links followed)
// Whether the path's last component is a symbolic link (whether or not it leads anywhere).
bool IsSymbolicLink(const std::string& path);
// Whether both paths lead to the same existing file (symbolic links followed).
bool IsSameFile(const std::string& a, const std::string& b);

// Creates one folder (mode 0777 less the umask). Returns 0, or the system's error number
// (EEXIST when something already stands at the path).
int MakeFolder(const std::string& path);

// Turns a project's own name into a path to open: every "\" becomes "/".
std::string ToOpenPath(std::string_view projectName);

// The path itself when it exists. Otherwise each component is matched against its folder's
// entries without regard to ASCII letter case (an exact match wins, then the first match in byte
// order); returns the path found, or an empty text when some component has no match.
std::string ResolvePathIgnoringCase(const std::string& path);

// The names (no folder) of the regular files in `folder` whose names end in ".txt", ASCII case
// ignored, in no particular order. Empty when the folder cannot be read.
std::vector<std::string> ListTextFiles(const std::string& folder);

// Gives the owner write permission (what clearing the read-only attribute means here). Returns
// false when the file does not exist or its mode cannot be changed.
bool MakeOwnerWritable(const std::string& path);

// The number of processors this process may run on: its affinity mask, else what the system
// reports; at least 1.
int AvailableProcessors();

}  // namespace tarnwick
