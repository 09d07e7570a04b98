// An exported word list is the words and nothing else, for example
//   Ampersand<CRLF>
//   Help<CRLF>
// with <CRLF> the bytes 0x0D 0x0A, the last line ended like the others, no byte-order mark,
// the words' bytes exactly as held.
#include "output/word_list_export.h"

#include "output/output_names.h"
#include "platform/file_system.h"
#include "support/ansi_case.h"

namespace tarnwick {

std::string ForceTxtExtension(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && EqualsAsciiNoCase(name.substr(dot), ".txt")) {
        return std::string(path);
    }
    return ChangeFileExtension(path, ".txt");
}

bool ExportWordList(const std::string& path, size_t count,
                    const std::function<std::string_view(size_t)>& entryAt, TFileSystem& system) {
    if (count == 0) {
        return false;
    }
    TFileWriter file(path, system);
    for (size_t i = 0; i < count; ++i) {
        const std::string_view entry = entryAt(i);
        if (entry.empty()) {
            continue;
        }
        file.Write(entry);
        file.Write("\r\n");
    }
    file.Close();
    return true;
}

bool ExportWordList(const std::string& path, const std::vector<std::string>& entries,
                    TFileSystem& system) {
    return ExportWordList(
        path, entries.size(), [&entries](size_t i) -> std::string_view { return entries[i]; },
        system);
}

}  // namespace tarnwick
