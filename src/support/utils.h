// Small program-wide services: digit grouping for counts, path splitting, the user's data folder,
// folder tests and creation, and the system's text for an error number.
#pragma once

#include <string>
#include <string_view>

#include "platform/system_text.h"  // SystemErrorText

namespace tarnwick {

// The text without leading and trailing blanks (control characters and the space, bytes up to
// 0x20); bytes from 0x80 up are ordinary characters. The one trimming rule of project entries,
// names and words.
// Inline: the parser trims every keyword and description token with it.
inline std::string_view TrimBlanks(std::string_view text) {
    size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) <= 0x20) {
        ++first;
    }
    size_t last = text.size();
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 0x20) {
        --last;
    }
    return text.substr(first, last - first);
}

// Inserts "," between groups of three digits of a decimal number text: "1234567" gives
// "1,234,567", "-1234" gives "-1,234", "123456.78" gives "123,456.78".
std::string GroupDigits(std::string_view numberText);

// What SplitPath finds out about a path. Linux paths have no drive: Drive is always empty and
// Folder equals Dir.
struct PathInfo {
    std::string Drive;
    std::string Dir;       // folder part without a trailing "/" (the root folder becomes empty)
    std::string Name;      // file name without extension
    std::string Ext;       // extension with its dot
    std::string FullPath;  // the path, one trailing "/" removed, "/" appended again for a folder
    std::string NameExt;   // Name followed by Ext
    std::string Folder;    // Drive followed by Dir
    bool IsFolder = false;
    bool Exists = false;
    size_t Length = 0;  // length of FullPath
    int DriveType = 0;  // the system cannot tell on Linux
};
PathInfo SplitPath(std::string_view path);

// The user's per-user data folder for the value name "AppData": $XDG_DATA_HOME, else
// $HOME/.local/share; empty when neither is set or for any other name.
std::string ShellFolder(std::string_view valueName);
// ShellFolder("AppData") followed by "/" and the sub-path; empty when there is no data folder.
std::string AppDataFolder(std::string_view subPath);

// Whether the path names an existing folder; one trailing "/" and surrounding blanks ignored.
bool FolderExists(std::string_view path);
// Whether the path is the root folder, which is never created.
bool IsDriveRoot(std::string_view path);
// Creates every missing folder of the path, outermost first. Returns an empty text, or the
// system's text for the first folder that could not be created (the caller shows it as a
// "System Error").
std::string ForceFolder(const std::string& path);

}  // namespace tarnwick
