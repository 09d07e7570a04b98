// THtmlParser: reads one HTML topic file and adds the index words of the page parts the user
// ticked to the file's word set. A byte scanner, not an HTML parser: it knows tags, the title
// element, keyword param elements, the description meta element and character entities.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/file_words.h"
#include "pipeline/letter_references.h"
#include "pipeline/page_charset.h"
#include "pipeline/parse_options.h"
#include "pipeline/text_arena.h"
#include "support/code_page.h"

namespace tarnwick {

class TCodePage;
class TExcludeList;

// The bytes of one topic file. The buffer keeps its capacity from page to page and is never
// cleared or zero-filled, so reading a page costs the read and nothing more.
class TPageBytes {
public:
    std::string_view View() const { return {bytes_.get(), size_}; }
    size_t Size() const { return size_; }
    // Makes room for `capacity` bytes, keeping the first Size() bytes.
    void Reserve(size_t capacity);
    char* Data() { return bytes_.get(); }
    size_t Capacity() const { return capacity_; }
    void SetSize(size_t size) { size_ = size; }
    // Gives the memory back when a page was much larger than the usual ones.
    void Shrink(size_t keep);

private:
    std::unique_ptr<char[]> bytes_;
    size_t capacity_ = 0;
    size_t size_ = 0;
};

// One parser serves one run (or one worker thread of it) and keeps scratch buffers and a lexicon
// of the spellings it met (their keys and filter verdicts); it is not shared between threads. The
// exclude lists must not change while a parser uses them. ParsePage is a pure function of its
// arguments: the words of a page do not depend on what the parser parsed before.
class THtmlParser {
public:
    // `lexiconBytes` bounds the memory of the parser's lexicon; `rules` say how the pages' text
    // is read.
    explicit THtmlParser(size_t lexiconBytes = TLexicon::kDefaultMaxBytes, TTextRules rules = {});
    explicit THtmlParser(TTextRules rules) : THtmlParser(TLexicon::kDefaultMaxBytes, rules) {}

    // Outcome of reading a topic file.
    enum class ReadResult { Read, Unopenable };

    // Reads, parses and adds one topic file's words. `path` is the joined path (project folder,
    // "/", the entry with "\" turned into "/"); when it does not exist it is matched component by
    // component without regard to ASCII case. Returns false, adding no words, when the file
    // cannot be opened or read; the caller reports it (the parse run through its progress). An
    // empty file adds no words.
    bool ParseTopicFile(const std::string& path, TFileWords& fileWords,
                        const TExcludeList* defaultList, const TExcludeList* secondaryList,
                        ParseOptions options);

    // The bytes of the topic file at `path` (resolved as ParseTopicFile does) into `bytes`, reusing
    // its capacity; no message. Returns Unopenable when the file cannot be opened or read.
    static ReadResult ReadTopicFile(const std::string& path, TPageBytes& bytes);
    // A page buffer larger than this is released after its page, so that one huge page does not
    // keep its memory for the rest of the run.
    static constexpr size_t kKeptPageCapacity = 1 << 20;

    // Adds the words of a page's bytes to `fileWords` under `options`: the body, title, keyword
    // and description readers in that order, each candidate through the exclude filters. A page
    // that declares another charset than the project's code page is converted into it first
    // (not under the ASCII rule).
    // `defaultList` is consulted only when kUseDefaultExclude is set; `secondaryList` whenever it
    // is given.
    void ParsePage(std::string_view raw, TFileWords& fileWords, const TExcludeList* defaultList,
                   const TExcludeList* secondaryList, ParseOptions options);

    // The text without the characters at either end that are not letters or digits: those of
    // the rules' code page, or under the ASCII rule the ASCII letters and digits only.
    std::string_view TrimToAlphanumeric(std::string_view text) const {
        return rules_.AsciiLetters ? TrimToAsciiAlphanumeric(text)
                                   : codePage_.TrimToAlphanumeric(text);
    }
    // The text without leading and trailing bytes that are not ASCII letters or digits.
    static std::string_view TrimToAsciiAlphanumeric(std::string_view text);

private:
    struct Filters {
        const TExcludeList* DefaultList = nullptr;
        const TExcludeList* SecondaryList = nullptr;
        ParseOptions Options = 0;
    };

    // An element the keyword and description readers look at: the position of its "<" and the
    // position after its name.
    struct Element {
        size_t Open = 0;
        size_t AfterName = 0;
    };
    void FindElements(std::string_view raw);
    // The position after the name of the first element at or after `from`, or npos.
    static size_t NextElement(const std::vector<Element>& elements, size_t from);
    // Steps shared by the keyword and description readers: from `pos`, the next element of
    // `elements` whose name attribute is followed by `key` and then `value` (skipping blanks, "="
    // and quotes between them, within the element); returns where the value's text starts, past
    // its leading blanks, "=" and quotes, or npos when the page holds no more.
    static size_t NextAttributeValue(std::string_view raw, const std::vector<Element>& elements,
                                     size_t pos, std::string_view key, std::string_view value);

    void ReadBody(std::string_view raw, TFileWords& fileWords);
    // A body word that meets a letter reference: the text from `start` to `textEnd`, then the
    // references and text runs that follow without a break. Returns where the word ends.
    const char* ReadWordWithReferences(const char* start, const char* textEnd, const char* end,
                                       std::string_view raw, TFileWords& fileWords);
    void ReadTitle(std::string_view raw, TFileWords& fileWords);
    void ReadKeywordParams(std::string_view raw, TFileWords& fileWords);
    void ReadMetaDescription(std::string_view raw, TFileWords& fileWords);
    // The filter pipeline for every candidate of every reader.
    void AddCandidate(std::string_view text, TFileWords& fileWords);
    void AddWord(std::string_view word, TFileWords& fileWords);
    static bool PassesFilters(void* parser, std::string_view word, std::string_view key,
                              std::uint64_t keyHash);
    // Takes the filters of a page; a change of options or lists (or of a list's words) gives
    // them a new Id, so that no verdict reached under other filters is reused.
    void SetFilters(const Filters& filters);

    TTextRules rules_;
    const TCodePage& codePage_;
    const TLetterReferences& references_;
    // Pages in another charset than the project's code page are read through it.
    std::unique_ptr<TPageConverter> converter_;
    // The words and candidates that letter references changed, kept until the page's words are
    // settled; `scratch_` builds one at a time.
    TTextArena changedTexts_;
    std::string scratch_;
    Filters filters_;
    // What the filters' Id stands for: the number option, and the change stamps of the lists
    // consulted (0 for none).
    struct FilterState {
        bool ExcludeNumbers = false;
        std::uint64_t DefaultList = 0;
        std::uint64_t SecondaryList = 0;
        friend bool operator==(const FilterState&, const FilterState&) = default;
    };
    FilterState filterState_;
    TWordFilter filter_;
    TLexicon lexicon_;
    std::string title_;
    std::vector<Element> params_;
    std::vector<Element> metas_;
    TPageBytes raw_;
};

// Whether a [FILES] entry names an image, style sheet, script, font or other asset rather than a
// page: its extension (after the last "." of the part after the last "\" or "/", ASCII case
// ignored) is one of avi bmp css eot gif ico jpeg jpg js map mp3 mp4 otf png svg swf tif tiff
// ttf wav webp woff woff2 zip. The parse run counts such entries as parsed but never opens them.
bool IsAssetEntry(std::string_view entry);

}  // namespace tarnwick
