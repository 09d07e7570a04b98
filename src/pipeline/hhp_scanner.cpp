#include "pipeline/hhp_scanner.h"

#include <algorithm>

#include "pipeline/markup.h"
#include "pipeline/word_order.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "support/ansi_case.h"
#include "support/utils.h"

namespace tarnwick {
namespace {

// Byte classes of the project file: control characters end lines; blanks are control
// characters and the space; every byte from 0x20 up (0x80 to 0xFF too) is printable.
bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20;
}
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// Keys are looked for at the start of a line. Windows tools end lines in CR LF, doxygen, Sphinx
// and Linux editors in LF alone; either way the key follows an LF.
constexpr std::string_view kIndexFileKey = "\nIndex file";
constexpr std::string_view kLanguageKey = "\nLanguage";
constexpr std::string_view kIncludeWord = "#include ";

// Whether the first line of an [ALIAS] or [MAP] section is an alias or a #define itself rather
// than the name of a file holding them: such a project keeps its aliases in the project file.
bool IsInlineDefinition(std::string_view firstLine) {
    return firstLine.find('=') != std::string_view::npos || firstLine.rfind("#define", 0) == 0;
}

// The file name an [ALIAS] or [MAP] section gives: its include name, none when the section is
// missing or holds the definitions inline.
std::string IncludedFileName(std::string_view buffer, std::optional<size_t> start) {
    if (!start) {
        return {};
    }
    const std::string first = THhpScanner::ReadFirstLine(buffer, *start);
    if (first.find(kIncludeWord) == std::string::npos && IsInlineDefinition(first)) {
        return {};
    }
    return std::string(TrimBlanks(THhpScanner::ReadIncludeName(buffer, *start)));
}

}  // namespace

THhpScanResult THhpScanner::Scan(const std::string& projectPath, const THhpScanResult& previous,
                                 bool asciiLetters) const {
    THhpScanResult result;
    // Only the readers replace these two, so a file that is not read leaves them as they were.
    result.WindowNames = previous.WindowNames;
    result.MaxNameLength = previous.MaxNameLength;
    if (!PathExists(projectPath)) {
        return result;
    }
    std::string buffer;
    try {
        buffer = ReadRegularFile(projectPath, kMaxProjectFileSize, "a project file");
    } catch (const EFileError& error) {
        // An unreadable project is shown as an empty one; the caller may report ReadError.
        result.ReadError = error.what();
        return result;
    }
    return ScanBytes(buffer, asciiLetters);
}

THhpScanResult THhpScanner::ScanBytes(std::string_view buffer, bool asciiLetters) {
    THhpScanResult result;
    result.ProjectRead = true;
    result.IndexCaption = " " + ReadKeyValue(buffer, kIndexFileKey);
    result.Files = ReadFiles(buffer, result.MaxNameLength);
    const auto alias = FindSection(buffer, "[ALIAS]");
    if (alias) {
        result.AliasCaption = " " + ReadIncludeName(buffer, *alias);
    }
    result.AliasFile = IncludedFileName(buffer, alias);
    const auto map = FindSection(buffer, "[MAP]");
    if (map) {
        result.MapCaption = " " + ReadIncludeName(buffer, *map);
    }
    result.MapFile = IncludedFileName(buffer, map);
    result.WindowNames = ReadWindows(buffer);
    result.CodePage = ProjectCodePage(ReadKeyValue(buffer, kLanguageKey));
    SortTopicList(result.Files, TTextRules::ForProject(result.CodePage, asciiLetters).CodePage);
    return result;
}

std::optional<size_t> THhpScanner::FindSection(std::string_view buffer, std::string_view header) {
    // Start positions 0 .. size - length - 1: the last possible one is never tried.
    if (header.empty() || buffer.size() <= header.size()) {
        return std::nullopt;
    }
    // Without the buffer's last byte, the last start cannot match.
    const size_t at = markup::FindNoCase(buffer.substr(0, buffer.size() - 1), header, 0);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    return at + header.size();
}

std::string THhpScanner::ReadKeyValue(std::string_view buffer, std::string_view key) {
    const auto found = FindSection(buffer, key);
    if (!found) {
        return {};
    }
    size_t p = *found;
    // Line breaks are blanks too, so an empty value takes the next non-blank line.
    while (p < buffer.size() && (buffer[p] == '=' || IsBlank(buffer[p]))) {
        ++p;
    }
    const size_t start = p;
    while (p < buffer.size() && !IsControl(buffer[p])) {
        ++p;
    }
    return std::string(TrimBlanks(buffer.substr(start, p - start)));
}

std::string THhpScanner::ReadIncludeName(std::string_view buffer, size_t start) {
    std::string line;
    for (size_t p = start; p < buffer.size(); ++p) {
        const char c = buffer[p];
        if (c == '[') {
            return line;  // the section ends here, whatever was collected is the name
        }
        if (!IsControl(c)) {
            line += c;
            continue;
        }
        const std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty()) {
            line.clear();
            continue;
        }
        // Only the first non-blank line counts.
        const size_t include = trimmed.find(kIncludeWord);
        if (include != std::string_view::npos) {
            return std::string(TrimBlanks(trimmed.substr(include + kIncludeWord.size())));
        }
        return std::string(trimmed);
    }
    return line;
}

std::string THhpScanner::ReadFirstLine(std::string_view buffer, size_t start) {
    // A line runs to its line break here: a tab inside it (aliases aligned in columns) does not
    // end it.
    size_t lineStart = start;
    for (size_t p = start; p < buffer.size() && buffer[p] != '['; ++p) {
        if (buffer[p] == '\r' || buffer[p] == '\n') {
            const std::string_view trimmed = TrimBlanks(buffer.substr(lineStart, p - lineStart));
            if (!trimmed.empty()) {
                return std::string(trimmed);
            }
            lineStart = p + 1;
        }
    }
    return {};
}

std::vector<std::string> THhpScanner::ReadFiles(std::string_view buffer, int& maxNameLength) {
    std::vector<std::string> files;
    maxNameLength = 0;
    const auto start = FindSection(buffer, "[FILES]");
    if (!start) {
        return files;
    }
    size_t lineStart = *start;
    for (size_t p = *start; p < buffer.size(); ++p) {
        const char c = buffer[p];
        if (c == '[') {
            break;  // a pending line is dropped
        }
        if (!IsControl(c)) {
            continue;
        }
        const std::string_view trimmed = TrimBlanks(buffer.substr(lineStart, p - lineStart));
        if (!trimmed.empty()) {
            files.emplace_back(trimmed);
            maxNameLength = std::max(maxNameLength, static_cast<int>(trimmed.size()));
        }
        lineStart = p + 1;
    }
    return files;
}

std::vector<std::string> THhpScanner::ReadWindows(std::string_view buffer) {
    std::vector<std::string> names;
    const auto start = FindSection(buffer, "[WINDOWS]");
    if (!start) {
        return names;
    }
    std::string name;
    size_t p = *start;
    while (p < buffer.size()) {
        const char c = buffer[p];
        if (c == '[') {
            break;  // a pending name is dropped
        }
        if (IsControl(c)) {
            ++p;  // line breaks neither end nor extend a name
            continue;
        }
        if (c == ' ' || c == '=') {
            const std::string_view trimmed = TrimBlanks(name);
            if (!trimmed.empty()) {
                names.emplace_back(trimmed);
            }
            name.clear();
            // The rest of the line is the window's definition; a "[" in it is not a section.
            while (p < buffer.size() && !IsControl(buffer[p])) {
                ++p;
            }
            continue;
        }
        name += c;
        ++p;
    }
    return names;
}

void THhpScanner::SortTopicList(std::vector<std::string>& files, int codePage) {
    // A sorted list box puts a new item after its equals, so equal entries keep their order in
    // the file.
    SortWordsByKey(files, WordCollator::For(codePage));
}

}  // namespace tarnwick
