// The option byte of a parse and of a build: which page parts give words, which words are
// dropped, and the map choice. One small header, so that the output files and the front ends
// need not include the parser for it.
#pragma once

#include <cstdint>

namespace tarnwick {

// The option byte of a parse, as the main window's check boxes build it and the recently used
// projects store it.
using ParseOptions = std::uint8_t;
inline constexpr ParseOptions kParseTitle = 0x01;         // words of the title element
inline constexpr ParseOptions kParseKeywords = 0x02;      // value of param name="keyword"
inline constexpr ParseOptions kParseDescription = 0x04;   // content of the description meta
inline constexpr ParseOptions kParseBody = 0x08;          // the page text outside tags
inline constexpr ParseOptions kExcludeNumbers = 0x10;     // drop words holding a digit
inline constexpr ParseOptions kUseDefaultExclude = 0x20;  // drop words on the default list
inline constexpr ParseOptions kMapAliasFiles = 0x40;      // map choice; not read by the parser
inline constexpr ParseOptions kMapTopicHeader = 0x80;     // map choice; not read by the parser
inline constexpr ParseOptions kDefaultParseOptions =
    kParseBody | kExcludeNumbers | kUseDefaultExclude;

// How a run reads the text of a project's pages.
struct TTextRules {
    // The code page the project's words are in (TCodePage::For's numbers): its letters and digits
    // make words, letter references ("&eacute;") stand for its bytes, pages declared in another
    // charset are converted into it, and its collator compares the words.
    int CodePage = 1252;
    // The ASCII rule of earlier versions: only ASCII letters and digits make words, every
    // character reference breaks a word, pages are read as they are, and the words are compared
    // as Windows-1252 whatever the project's language. `tarnwick-cli --ascii-letters` keeps it for
    // builds whose output must not change.
    bool AsciiLetters = false;

    // The rules for a project whose "Language" option gives `projectCodePage`.
    static constexpr TTextRules ForProject(int projectCodePage, bool asciiLetters = false) {
        return {asciiLetters ? 1252 : projectCodePage, asciiLetters};
    }
};

// The map choice: which map files a build writes. The numbers are those the recently used
// projects have always been read back into.
enum class MapMode : std::uint8_t {
    None = 0,         // no map files
    TopicHeader = 1,  // a header of topic paths
    AliasFiles = 2,   // the alias file and a header of context IDs
};

// The option bits of a map choice, and the choice option bits hold (alias files winning, as they
// never come together).
constexpr ParseOptions MapOptionBits(MapMode mode) {
    return mode == MapMode::AliasFiles    ? kMapAliasFiles
           : mode == MapMode::TopicHeader ? kMapTopicHeader
                                          : ParseOptions{0};
}
constexpr MapMode MapModeOf(ParseOptions options) {
    return (options & kMapAliasFiles)    ? MapMode::AliasFiles
           : (options & kMapTopicHeader) ? MapMode::TopicHeader
                                         : MapMode::None;
}

}  // namespace tarnwick
