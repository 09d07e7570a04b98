// Libraries loaded while the program runs, for parts that work without them (the help file's
// reader): the program starts and runs when such a library is not installed.
#pragma once

#include <string>

namespace tarnwick {

// Loads the library `name` (a file name found the system's way, or a path). Returns its handle,
// or null with the system's reason in `why`.
void* LoadSharedLibrary(const std::string& name, std::string& why);
// The address of `symbol` in a loaded library, or null when it has none.
void* SharedLibrarySymbol(void* library, const std::string& symbol);
// Gives a loaded library back; null does nothing.
void UnloadSharedLibrary(void* library) noexcept;

}  // namespace tarnwick
