#include "pipeline/html_parser.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "pipeline/byte_scan.h"
#include "pipeline/exclude_list.h"
#include "pipeline/markup.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "support/ansi_case.h"
#include "support/utils.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

using markup::Find;
using markup::FindAttribute;
using markup::kGiveUp;
using markup::MatchesAt;
using markup::ReadTagName;
using markup::SkipMarkup;

// Only ASCII letters and digits are alphanumeric (bytes from 0x80 up are ordinary characters).
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
// A table, since TrimToAlphanumeric asks for every word of every page.
constexpr auto kAlphanumeric = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    }
    return table;
}();
bool IsAlphanumeric(char c) {
    return kAlphanumeric[static_cast<unsigned char>(c)];
}
bool HasDigit(std::string_view word) {
    for (char c : word) {
        if (IsDigit(c))
            return true;
    }
    return false;
}

// Reads the whole file into `bytes`. Returns 0 or the errno of the failure. A page is a regular
// file: a pipe would hang the run and a device such as /dev/zero would never end.
int ReadInto(const std::string& path, TPageBytes& bytes) {
    bytes.SetSize(0);
    TRegularFile file(path);
    if (file.Error() != 0) {
        return file.Error();
    }
    // One byte more than the size, so that the read that finds the end needs no new room.
    bytes.Reserve(static_cast<size_t>(file.Size()) + 1);
    size_t done = 0;
    for (;;) {
        if (done == bytes.Capacity()) {
            // The file is longer than it was when its size was taken, or reports no size.
            bytes.SetSize(done);
            bytes.Reserve(done + (1 << 16));
        }
        const ssize_t n = file.Read(bytes.Data() + done, bytes.Capacity() - done);
        if (n < 0) {
            const int error = errno;
            bytes.SetSize(0);
            return error;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
        if (done == file.Size() && done < bytes.Capacity()) {
            // The read brought the whole size the file had when opened and stopped short of the
            // room: that is the end, and another read only to hear so is one more system call
            // for every page.
            break;
        }
    }
    bytes.SetSize(done);
    return 0;
}

constexpr std::array<std::string_view, 24> kAssetExtensions = {
    "avi", "bmp", "css", "eot", "gif", "ico",  "jpeg", "jpg", "js",   "map",  "mp3",   "mp4",
    "otf", "png", "svg", "swf", "tif", "tiff", "ttf",  "wav", "webp", "woff", "woff2", "zip"};

}  // namespace

bool IsAssetEntry(std::string_view entry) {
    const size_t slash = entry.find_last_of("\\/");
    const std::string_view name = slash == std::string_view::npos ? entry : entry.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string_view extension = name.substr(dot + 1);
    for (std::string_view asset : kAssetExtensions) {
        if (EqualsAsciiNoCase(extension, asset)) {
            return true;
        }
    }
    return false;
}

THtmlParser::THtmlParser(size_t lexiconBytes, TTextRules rules)
    : rules_(rules),
      codePage_(TCodePage::For(rules.CodePage)),
      references_(TLetterReferences::For(codePage_)),
      converter_(std::make_unique<TPageConverter>(codePage_)),
      changedTexts_(4096),
      lexicon_(lexiconBytes, WordCollator::For(rules.CodePage)) {}

void TPageBytes::Reserve(size_t capacity) {
    if (capacity <= capacity_) {
        return;
    }
    // Grow by half at least, so that a file that keeps growing is not copied per chunk.
    const size_t newCapacity = std::max(capacity, capacity_ + capacity_ / 2);
    auto grown = std::make_unique_for_overwrite<char[]>(newCapacity);
    if (size_ > 0) {
        std::memcpy(grown.get(), bytes_.get(), size_);
    }
    bytes_ = std::move(grown);
    capacity_ = newCapacity;
}

void TPageBytes::Shrink(size_t keep) {
    if (capacity_ > keep) {
        bytes_.reset();
        capacity_ = 0;
        size_ = 0;
    }
}

THtmlParser::ReadResult THtmlParser::ReadTopicFile(const std::string& path, TPageBytes& bytes) {
    const int error = ReadInto(path, bytes);
    if (error == 0) {
        return ReadResult::Read;
    }
    if (error == ENOENT || error == ENOTDIR) {
        // Projects written on Windows often name a file in other letter case than it has.
        const std::string resolved = ResolvePathIgnoringCase(path);
        if (!resolved.empty() && resolved != path && ReadInto(resolved, bytes) == 0) {
            return ReadResult::Read;
        }
    }
    return ReadResult::Unopenable;
}

bool THtmlParser::ParseTopicFile(const std::string& path, TFileWords& fileWords,
                                 const TExcludeList* defaultList, const TExcludeList* secondaryList,
                                 ParseOptions options) {
    if (ReadTopicFile(path, raw_) == ReadResult::Unopenable) {
        return false;
    }
    ParsePage(raw_.View(), fileWords, defaultList, secondaryList, options);
    // A huge page should not keep its memory for the rest of the run.
    raw_.Shrink(kKeptPageCapacity);
    converter_->Shrink(kKeptPageCapacity);
    return true;
}

void THtmlParser::ParsePage(std::string_view raw, TFileWords& fileWords,
                            const TExcludeList* defaultList, const TExcludeList* secondaryList,
                            ParseOptions options) {
    SetFilters(Filters{defaultList, secondaryList, options});
    // The previous page's words are settled: what it changed is no longer needed.
    changedTexts_.Clear();
    if (!rules_.AsciiLetters) {
        raw = converter_->Convert(raw);
    }
    if (raw.empty()) {
        fileWords.Settle();
        return;
    }
    // The order of the readers decides which spelling of a word the file keeps.
    if (options & kParseBody) {
        ReadBody(raw, fileWords);
    }
    if (options & kParseTitle) {
        ReadTitle(raw, fileWords);
    }
    if (options & (kParseKeywords | kParseDescription)) {
        FindElements(raw);
    }
    if (options & kParseKeywords) {
        ReadKeywordParams(raw, fileWords);
    }
    if (options & kParseDescription) {
        ReadMetaDescription(raw, fileWords);
    }
    // The words offered point into the page and the title text, which the next page reuses.
    fileWords.Settle();
}

void THtmlParser::FindElements(std::string_view raw) {
    // Step 1 of the element readers, for the whole page at once: every "<" followed, after any
    // spaces, by "param" or "meta" in any letter case (their first bytes only, so "<params"
    // counts as "param"), with the position after the name.
    params_.clear();
    metas_.clear();
    scan::ForEachOpening(raw.data(), raw.data() + raw.size(), 'p', 'm', [&](size_t open) {
        size_t p = open + 1;
        while (p < raw.size() && raw[p] == ' ') {
            ++p;
        }
        if (MatchesAt(raw, p, "param")) {
            params_.push_back({open, p + 5});
        } else if (MatchesAt(raw, p, "meta")) {
            metas_.push_back({open, p + 4});
        }
    });
}

size_t THtmlParser::NextElement(const std::vector<Element>& elements, size_t from) {
    const auto next = std::lower_bound(
        elements.begin(), elements.end(), from,
        [](const Element& element, size_t position) { return element.Open < position; });
    return next == elements.end() ? std::string_view::npos : next->AfterName;
}

std::string_view THtmlParser::TrimToAsciiAlphanumeric(std::string_view text) {
    size_t first = 0;
    while (first < text.size() && !IsAlphanumeric(text[first])) {
        ++first;
    }
    size_t last = text.size();
    while (last > first && !IsAlphanumeric(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

void THtmlParser::ReadBody(std::string_view raw, TFileWords& fileWords) {
    // The body words are those of the page with its markup removed: every tag, every script or
    // style element and every entity reference becomes a space, and blanks separate words. They
    // are found in the page itself, without building that text: a word is a run of bytes that
    // are neither blank nor "<" nor "&", outside markup. Such a run holds no "&" and no blank,
    // so it goes straight to the edge trimming. A letter reference is no markup but the bytes of
    // its letter: the word goes on through it.
    const char* const begin = raw.data();
    const char* const end = begin + raw.size();
    const bool references = !rules_.AsciiLetters;
    const char* p = begin;
    while (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        if (scan::IsTextByte(c)) {
            const char* const wordEnd = scan::SkipText(p + 1, end);
            if (references && wordEnd < end && *wordEnd == '&') {
                p = ReadWordWithReferences(p, wordEnd, end, raw, fileWords);
                continue;
            }
            AddWord(TrimToAlphanumeric(std::string_view(p, static_cast<size_t>(wordEnd - p))),
                    fileWords);
            p = wordEnd;
        } else if (c == '&' && references) {
            const char* const wordEnd = ReadWordWithReferences(p, p, end, raw, fileWords);
            p = wordEnd != p ? wordEnd : begin + SkipMarkup(raw, static_cast<size_t>(p - begin));
        } else if (c == '<' || c == '&') {
            p = begin + SkipMarkup(raw, static_cast<size_t>(p - begin));
        } else {
            p = scan::SkipBlanks(p + 1, end);
        }
    }
}

const char* THtmlParser::ReadWordWithReferences(const char* start, const char* textEnd,
                                                const char* end, std::string_view raw,
                                                TFileWords& fileWords) {
    // Most "&" start other references: the text before one is copied only once a letter
    // reference follows it.
    scratch_.clear();
    size_t length = references_.Append(raw, static_cast<size_t>(textEnd - raw.data()), scratch_);
    if (length != 0) {
        scratch_.insert(0, start, static_cast<size_t>(textEnd - start));
    }
    const char* p = textEnd;
    const bool changed = length != 0;
    while (length != 0) {
        p += length;
        if (p < end && scan::IsTextByte(static_cast<unsigned char>(*p))) {
            const char* const runEnd = scan::SkipText(p + 1, end);
            scratch_.append(p, runEnd);
            p = runEnd;
        }
        length = p < end && *p == '&'
                     ? references_.Append(raw, static_cast<size_t>(p - raw.data()), scratch_)
                     : 0;
    }
    if (!changed) {
        // No letter reference after all: the "&" is markup, and the word the text before it.
        if (textEnd != start) {
            AddWord(
                TrimToAlphanumeric(std::string_view(start, static_cast<size_t>(textEnd - start))),
                fileWords);
        }
        return textEnd;
    }
    const std::string_view word = TrimToAlphanumeric(scratch_);
    if (!word.empty()) {
        AddWord(changedTexts_.Store(word), fileWords);
    }
    return p;
}

void THtmlParser::ReadTitle(std::string_view raw, TFileWords& fileWords) {
    // Positions from size - length("/title") on are never examined.
    if (raw.size() <= 6) {
        return;
    }
    const size_t limit = raw.size() - 6;
    std::string& text = title_;
    text.clear();
    bool inTitle = false;
    size_t pos = 0;
    while (pos < limit) {
        if (raw[pos] == '<') {
            const std::string_view name = ReadTagName(raw, pos, limit);
            if (EqualsAsciiNoCase(name, "title")) {
                inTitle = true;
            } else if (EqualsAsciiNoCase(name, "/title")) {
                break;
            }
            continue;
        }
        // The bytes up to the next tag (below the limit) are the title's text, or nothing.
        const void* open = std::memchr(raw.data() + pos, '<', limit - pos);
        const size_t next =
            open ? static_cast<size_t>(static_cast<const char*>(open) - raw.data()) : limit;
        if (inTitle) {
            text.append(raw.data() + pos, next - pos);
        }
        pos = next;
    }
    // Only the space separates title words, taken from the end of the title.
    std::string_view rest = TrimBlanks(text);
    while (!rest.empty()) {
        const size_t space = rest.rfind(' ');
        if (space == std::string_view::npos) {
            AddCandidate(rest, fileWords);
            break;
        }
        AddCandidate(rest.substr(space), fileWords);
        rest = TrimBlanks(rest.substr(0, space));
    }
}

size_t THtmlParser::NextAttributeValue(std::string_view raw, const std::vector<Element>& elements,
                                       size_t pos, std::string_view key, std::string_view value) {
    for (;;) {
        pos = NextElement(elements, pos);
        if (pos == std::string_view::npos) {
            return pos;
        }
        // The name attribute: searched beyond the element, up to the end of the page.
        pos = FindAttribute(raw, pos, "name", " ", false);
        if (pos == std::string_view::npos) {
            return pos;
        }
        const size_t keyEnd = FindAttribute(raw, pos, key, " =\"", true);
        if (keyEnd == std::string_view::npos) {
            return keyEnd;
        }
        if (keyEnd == kGiveUp) {
            pos = Find(raw, '>', pos + 1);
            continue;
        }
        pos = keyEnd;
        if (pos < raw.size() && raw[pos] == '>') {
            continue;
        }
        const size_t valueEnd = FindAttribute(raw, pos, value, " =\"", true);
        if (valueEnd == std::string_view::npos) {
            return valueEnd;
        }
        if (valueEnd == kGiveUp) {
            pos = Find(raw, '>', pos + 1);
            continue;
        }
        pos = valueEnd;
        while (pos < raw.size() && (raw[pos] == ' ' || raw[pos] == '=' || raw[pos] == '"')) {
            ++pos;
        }
        return pos;
    }
}

void THtmlParser::ReadKeywordParams(std::string_view raw, TFileWords& fileWords) {
    size_t pos = 0;
    for (;;) {
        pos = NextAttributeValue(raw, params_, pos, "keyword", "value");
        if (pos == std::string_view::npos) {
            return;
        }
        const size_t start = pos;
        while (pos < raw.size() && raw[pos] != '"' && raw[pos] != '>') {
            ++pos;
        }
        if (pos >= raw.size()) {
            return;  // no closing quote or ">": the pending text is dropped
        }
        // A value of several words stays one index entry.
        AddCandidate(raw.substr(start, pos - start), fileWords);
        ++pos;
    }
}

void THtmlParser::ReadMetaDescription(std::string_view raw, TFileWords& fileWords) {
    size_t pos = NextAttributeValue(raw, metas_, 0, "description", "content");
    if (pos == std::string_view::npos) {
        return;
    }
    // Spaces and commas separate the candidates; the closing quote or ">" ends the reader, so only
    // the first matching element counts.
    size_t start = pos;
    for (; pos < raw.size(); ++pos) {
        const char c = raw[pos];
        if (c == ' ' || c == ',' || c == '"' || c == '>') {
            if (pos > start) {
                AddCandidate(raw.substr(start, pos - start), fileWords);
            }
            if (c == '"' || c == '>') {
                return;
            }
            start = pos + 1;
        }
    }
    // No closing quote or ">": the pending candidate is dropped.
}

void THtmlParser::AddCandidate(std::string_view text, TFileWords& fileWords) {
    // Letter references become their bytes before the text is split at the others.
    if (!rules_.AsciiLetters && references_.Replace(text, scratch_)) {
        text = changedTexts_.Store(scratch_);
    }
    // SplitEntities, as a loop: the part before the first "&" holds no "&" and is a plain
    // candidate; the part after the first ";" is a candidate of its own, split again.
    //
    // A ";" in front of the first "&" starts another candidate that ends at that same "&", so
    // "x;x;x;...;x&" yields one word per ";", each nearly as long as the text: time and memory
    // grow with the square of its length, and a few megabytes of it exhaust the memory. After
    // kMaxWordsPerAmpersand words ending at one "&", the ";" still in front of it are passed over
    // up to the last one, whose word (the one right before the "&") is still taken. No real text
    // has that many ";" before an "&" within one candidate, so its words are unchanged.
    constexpr int kMaxWordsPerAmpersand = 16;
    const char* lastAmpersand = nullptr;
    int wordsAtAmpersand = 0;
    for (;;) {
        text = TrimBlanks(text);
        if (text.empty() || EqualsAsciiNoCase(text, "&lt;") || EqualsAsciiNoCase(text, "&gt;") ||
            EqualsAsciiNoCase(text, "&amp;")) {
            return;
        }
        const size_t amp = text.find('&');
        if (amp == std::string_view::npos) {
            AddWord(TrimToAlphanumeric(text), fileWords);
            return;
        }
        wordsAtAmpersand = text.data() + amp == lastAmpersand ? wordsAtAmpersand + 1 : 1;
        lastAmpersand = text.data() + amp;
        AddWord(TrimToAlphanumeric(TrimBlanks(text.substr(0, amp))), fileWords);
        const size_t semicolon = text.find(';');
        if (semicolon == std::string_view::npos) {
            return;
        }
        if (semicolon < amp && wordsAtAmpersand >= kMaxWordsPerAmpersand) {
            text = text.substr(text.rfind(';', amp) + 1);
            lastAmpersand = nullptr;
            continue;
        }
        text = text.substr(semicolon + 1);
    }
}

void THtmlParser::AddWord(std::string_view word, TFileWords& fileWords) {
    if (!word.empty()) {
        fileWords.Offer(word, lexicon_, filter_);
    }
}

void THtmlParser::SetFilters(const Filters& filters) {
    filters_ = filters;
    FilterState state;
    state.ExcludeNumbers = (filters.Options & kExcludeNumbers) != 0;
    if ((filters.Options & kUseDefaultExclude) && filters.DefaultList) {
        state.DefaultList = filters.DefaultList->ChangeStamp();
    }
    if (filters.SecondaryList) {
        state.SecondaryList = filters.SecondaryList->ChangeStamp();
    }
    if (filter_.Id == 0 || !(state == filterState_)) {
        static std::atomic<std::uint64_t> nextId{1};
        filterState_ = state;
        filter_ = TWordFilter{&THtmlParser::PassesFilters, this,
                              nextId.fetch_add(1, std::memory_order_relaxed)};
    }
}

bool THtmlParser::PassesFilters(void* parser, std::string_view word, std::string_view key,
                                std::uint64_t keyHash) {
    // The three filters only ever drop a word, so the cheapest goes first.
    const Filters& filters = static_cast<const THtmlParser*>(parser)->filters_;
    if ((filters.Options & kExcludeNumbers) && HasDigit(word)) {
        return false;
    }
    if ((filters.Options & kUseDefaultExclude) && filters.DefaultList &&
        filters.DefaultList->IsExcludedKey(key, keyHash)) {
        return false;
    }
    return !(filters.SecondaryList && filters.SecondaryList->IsExcludedKey(key, keyHash));
}

}  // namespace tarnwick