// Where Tarnwick finds its installed files and keeps the user's own: the program folder, the data
// folder with the configuration, and the exclude-list folder. Every folder text ends in "/".
// Program-wide values, used from the GUI thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

inline constexpr std::string_view DefaultExcludeListName = "Default_Exclude_List.txt";
inline constexpr std::string_view ExcludeListSubfolder = "Exclude_List/";

// The folder of the installed files: the executable's folder when it holds the default exclude
// list (a build's output folder), otherwise <that folder>/../share/tarnwick/ (an installation).
std::string LocateProgramFolder(const std::string& executableFolder);

// The program folder: set with SetProgramFolder, else located from the running executable on
// first use.
const std::string& ProgramFolder();
// Replaces the program folder (a "/" is appended when missing); an empty text locates it again.
void SetProgramFolder(std::string folder);

// The user's data folder ("<application data folder>/Tarnwick/") and its exclude-list folder
// (DataFolder() + "Exclude_List/"); both empty until PrepareDataFolders has found them, and
// when the user has no application data folder.
const std::string& DataFolder();
const std::string& ExcludeListFolder();

// Finds the data folders and creates the missing ones, and removes from the data folder the
// temporary files that an interrupted configuration write left. The installed default exclude
// list is copied into the exclude-list folder only in the start that creates that folder, so a
// user who deletes the list later does not get it back. Returns the texts of what failed (a
// folder that cannot be created, a copy that fails), which the desktop program shows in
// "System Error" boxes; start-up goes on.
std::vector<std::string> PrepareDataFolders();

// The default exclude list a parse reads, the one rule of the desktop program and the command
// line: the user's own list in the exclude-list folder when anything stands at its name (so that
// a damaged one is reported, not silently passed over), otherwise the installed list in the
// program folder. Read from the environment, so that it holds before PrepareDataFolders too.
std::string DefaultExcludeListPath();

}  // namespace tarnwick
