// THhpScanner: reads an HTML Help project file (.hhp) and returns what the rest of Tarnwick needs
// from it - the topic files, the index, alias and map file names and the window names - as one
// record that the main window displays and the parse and build runs read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/parse_options.h"
#include "support/code_pages.h"

namespace tarnwick {

// What one scan found. The three captions keep the leading space that the main window's value
// labels carry; consumers trim them before use.
struct THhpScanResult {
    // The trimmed lines of [FILES], exactly as written, sorted with the word comparison; entries
    // that compare equal stay in the order of the file, and duplicates stay. Word list entries
    // refer to topic files by their position in this list.
    std::vector<std::string> Files;
    // Length in bytes of the longest entry of Files; 0 when there is none.
    int MaxNameLength = 0;
    // " " followed by the value of the "Index file" key; " " when the key is missing.
    std::string IndexCaption;
    // " " followed by the include name of [ALIAS] / [MAP]; empty when the section is missing.
    std::string AliasCaption;
    std::string MapCaption;
    // The alias and map file names to write, trimmed: the include names of [ALIAS] and [MAP].
    // Empty when the section is missing, or when it holds the aliases or #defines themselves
    // (its first line has an "=" or begins with "#define") - then it names no file, whatever
    // the caption shows.
    std::string AliasFile;
    std::string MapFile;
    // The window names defined in [WINDOWS], in file order.
    std::vector<std::string> WindowNames;
    // The code page of the project's text, from its "Language" option (ProjectCodePage); 1252
    // when the option is missing or unreadable.
    int CodePage = kDefaultCodePage;

    // Whether the project file was read. False when it does not exist or cannot be read; then
    // ReadError says why (empty for a file that does not exist), Files is empty, the captions
    // are empty and WindowNames and MaxNameLength are those of the previous scan.
    bool ProjectRead = false;
    std::string ReadError;
};

// The scanner keeps nothing between scans; all its operations are pure functions of the file's
// bytes. Only Scan and ScanBytes are meant for callers; the readers are public for tests.
class THhpScanner {
public:
    // Reads the project file at `projectPath` (a Linux path) and returns its results. When the
    // file does not exist or cannot be read, the result is cleared except for WindowNames and
    // MaxNameLength, which keep the values of `previous` (the record of the previous scan).
    // Never throws for a missing or unreadable file. The topic files are sorted as words of the
    // project's code page, or as Windows-1252 under the ASCII rule (TTextRules::AsciiLetters).
    THhpScanResult Scan(const std::string& projectPath,
                        const THhpScanResult& previous = THhpScanResult(),
                        bool asciiLetters = false) const;

    // The readers over a project file's bytes, in the order Scan runs them.
    static THhpScanResult ScanBytes(std::string_view buffer, bool asciiLetters = false);

    // The position just after the first occurrence of `header` (ASCII letters in either case,
    // every other byte exact) among the start positions 0 to size - length(header) - 1; the
    // last start position is never tried, so a header ending at the end of the file is not
    // found.
    static std::optional<size_t> FindSection(std::string_view buffer, std::string_view header);
    // The value of `key` (which begins with LF, e.g. "\nIndex file", so that it is found at the
    // start of any line but the first, whether the line break is CR LF or LF), trimmed; empty
    // when the key is not found. A prefix match: "\nIndex filename=x" gives "name=x".
    static std::string ReadKeyValue(std::string_view buffer, std::string_view key);
    // The include name of the section whose header ends at `start` ([ALIAS], [MAP]).
    static std::string ReadIncludeName(std::string_view buffer, size_t start);
    // The first non-blank line of the section whose header ends at `start`, up to its CR or LF,
    // trimmed; empty when the section ends first.
    static std::string ReadFirstLine(std::string_view buffer, size_t start);
    // The trimmed [FILES] lines in file order (unsorted), and the longest one's length.
    static std::vector<std::string> ReadFiles(std::string_view buffer, int& maxNameLength);
    // The window names of [WINDOWS] in file order.
    static std::vector<std::string> ReadWindows(std::string_view buffer);

    // Sorts topic entries with the word comparison of `codePage`, equal entries keeping their
    // order.
    static void SortTopicList(std::vector<std::string>& files, int codePage = kDefaultCodePage);
};

}  // namespace tarnwick
