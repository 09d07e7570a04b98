// The word-list export: the words shown in the main window written to a plain text file, one
// per line, for authors who keep or edit their index words elsewhere.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tarnwick {

// The path with ".txt" as its extension: an extension other than ".txt" (ASCII case ignored),
// taken from the last "." of the file-name part only, is replaced; a name without one gets
// ".txt" added. "/out/words.csv" gives "/out/words.txt", "/out/words.TXT" stays, and
// "/out/my.dir/words" gives "/out/my.dir/words.txt".
std::string ForceTxtExtension(std::string_view path);

// Writes the entries in order, each followed by CR LF; empty entries are left out. The file at
// `path` (a Linux path) is created, or replaced whole once every entry is written. With no entries
// nothing is written and no file is touched: returns false. Throws EFCreateError when the file
// cannot be created and EWriteError when a write fails (an existing file is then untouched).
bool ExportWordList(const std::string& path, const std::vector<std::string>& entries,
                    TFileSystem& system = TFileSystem::Default());
// The same over any list: `count` entries, each read through `entryAt` in order.
bool ExportWordList(const std::string& path, size_t count,
                    const std::function<std::string_view(size_t)>& entryAt,
                    TFileSystem& system = TFileSystem::Default());

}  // namespace tarnwick
