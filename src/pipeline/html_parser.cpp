#include "pipeline/html_parser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "pipeline/exclude_list.h"
#include "platform/os.h"
#include "support/ansi_case.h"
#include "support/message.h"

namespace tarnwick {
namespace {

// Byte classes of a page: control characters 0x00-0x1F; blanks are those and the space; only
// ASCII letters and digits are alphanumeric (bytes from 0x80 up are ordinary characters).
bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20;
}
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlphanumeric(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool HasDigit(std::string_view word) {
    for (char c : word) {
        if (IsDigit(c))
            return true;
    }
    return false;
}

std::string_view TrimBlanks(std::string_view text) {
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) {
        ++first;
    }
    size_t last = text.size();
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

// Whether the bytes at `at` are `text` (lower case ASCII), ASCII letters in either case.
bool MatchesAt(std::string_view raw, size_t at, std::string_view text) {
    return at <= raw.size() && raw.size() - at >= text.size() &&
           EqualsAsciiNoCase(raw.substr(at, text.size()), text);
}

// The first position from `from` at which `text` (lower case ASCII) stands, or npos.
size_t FindNoCase(std::string_view raw, std::string_view text, size_t from) {
    while (from < raw.size()) {
        const void* hit = std::memchr(raw.data() + from, text[0], raw.size() - from);
        if (!hit) {
            return std::string_view::npos;
        }
        const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - raw.data());
        if (MatchesAt(raw, at, text)) {
            return at;
        }
        from = at + 1;
    }
    return std::string_view::npos;
}

size_t Find(std::string_view raw, char c, size_t from) {
    if (from >= raw.size()) {
        return std::string_view::npos;
    }
    const void* hit = std::memchr(raw.data() + from, c, raw.size() - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - raw.data())
               : std::string_view::npos;
}

// The element whose content is code, not text, opened by the "<" at `at`: "script" or "style"
// directly after the "<", then a blank, "/", ">" or the end of the page. Empty when none.
std::string_view CodeElementAt(std::string_view raw, size_t at) {
    for (std::string_view name : {std::string_view("script"), std::string_view("style")}) {
        if (!MatchesAt(raw, at + 1, name)) {
            continue;
        }
        const size_t after = at + 1 + name.size();
        if (after == raw.size() || IsBlank(raw[after]) || raw[after] == '/' || raw[after] == '>') {
            return name;
        }
    }
    return {};
}

// Reads the whole file into `bytes`, reusing its capacity. Returns 0 or the errno of the failure.
int ReadInto(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return error;
    }
    size_t size = st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
    bytes.resize(size);
    size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            // The file may be longer than it was when its size was taken, or report no size.
            bytes.resize(bytes.size() + (1 << 16));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            bytes.clear();
            return error;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return 0;
}

// ReadTagName: the name of the tag whose "<" stands at `pos` (attributes are not part of it);
// leaves `pos` after the tag's ">" (or at the end of the page). Only positions below `limit`
// are read for the name.
std::string_view ReadTagName(std::string_view raw, size_t& pos, size_t limit) {
    ++pos;
    while (pos < limit && IsBlank(raw[pos])) {
        ++pos;
    }
    const size_t start = pos;
    while (pos < limit && !IsBlank(raw[pos]) && raw[pos] != '>') {
        ++pos;
    }
    const std::string_view name = raw.substr(start, pos - start);
    if (pos < raw.size() && raw[pos] == '>') {
        ++pos;
    } else {
        const size_t close = Find(raw, '>', pos);
        pos = close == std::string_view::npos ? raw.size() : close + 1;
    }
    return name;
}

// One attribute-matching round of the keyword and description readers: from one byte after
// `pos`, examine position after position; at each, skip the bytes in `skip`, give up at a ">"
// when `stopAtClose` is set, and compare with `text`. Returns the position after the match,
// kGiveUp at a ">", or npos at the end of the page.
constexpr size_t kGiveUp = std::string_view::npos - 1;
size_t FindAttribute(std::string_view raw, size_t pos, std::string_view text, std::string_view skip,
                     bool stopAtClose) {
    size_t p = pos;
    for (;;) {
        ++p;
        while (p < raw.size() && skip.find(raw[p]) != std::string_view::npos) {
            ++p;
        }
        if (p >= raw.size()) {
            return std::string_view::npos;
        }
        if (stopAtClose && raw[p] == '>') {
            return kGiveUp;
        }
        if (MatchesAt(raw, p, text)) {
            return p + text.size();
        }
    }
}

// Step 1 of the element readers: the next "<" followed, after any spaces, by `tag` (its first
// bytes only, so "<params" counts as "param"). Returns the position after the tag name, or npos.
size_t FindElement(std::string_view raw, size_t from, std::string_view tag) {
    for (;;) {
        const size_t open = Find(raw, '<', from);
        if (open == std::string_view::npos) {
            return open;
        }
        size_t p = open + 1;
        while (p < raw.size() && raw[p] == ' ') {
            ++p;
        }
        if (MatchesAt(raw, p, tag)) {
            return p + tag.size();
        }
        from = open + 1;
    }
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

THtmlParser::ReadResult THtmlParser::ReadTopicFile(const std::string& path, std::string& bytes) {
    std::string openPath = path;
    if (!PathExists(path)) {
        // Projects written on Windows often name a file in other letter case than it has.
        std::string resolved = ResolvePathIgnoringCase(path);
        if (!resolved.empty()) {
            openPath = std::move(resolved);
        }
    }
    return ReadInto(openPath, bytes) == 0 ? ReadResult::Read : ReadResult::Unopenable;
}

void THtmlParser::ReportUnopenable(const std::string& path) {
    Mesg().Show("Could not open file\n" + path, kMbError);
}

THtmlParser::ReadResult THtmlParser::ParseFile(const std::string& path, TFileWords& fileWords,
                                               const TExcludeList* defaultList,
                                               const TExcludeList* secondaryList,
                                               ParseOptions options) {
    if (ReadTopicFile(path, raw_) == ReadResult::Unopenable) {
        ReportUnopenable(path);
        return ReadResult::Unopenable;
    }
    ParsePage(raw_, fileWords, defaultList, secondaryList, options);
    return ReadResult::Read;
}

void THtmlParser::ParsePage(std::string_view raw, TFileWords& fileWords,
                            const TExcludeList* defaultList, const TExcludeList* secondaryList,
                            ParseOptions options) {
    const Filters filters{
        defaultList, secondaryList,
        static_cast<ParseOptions>(options & (kExcludeNumbers | kUseDefaultExclude))};
    if (filterGeneration_ == 0 || !(filters == filters_)) {
        static std::atomic<std::uint64_t> lastGeneration{0};
        filterGeneration_ = ++lastGeneration;
        filters_ = filters;
    }
    if (raw.empty()) {
        return;
    }
    // The order of the readers decides which spelling of a word the file keeps.
    if (options & kParseBody) {
        StripMarkup(raw, plain_);
        ReadBody(fileWords);
    }
    if (options & kParseTitle) {
        ReadTitle(raw, fileWords);
    }
    if (options & kParseKeywords) {
        ReadKeywordParams(raw, fileWords);
    }
    if (options & kParseDescription) {
        ReadMetaDescription(raw, fileWords);
    }
}

void THtmlParser::StripMarkup(std::string_view raw, std::string& plain) {
    plain.clear();
    plain.reserve(raw.size());
    const size_t n = raw.size();
    size_t j = 0;
    while (j < n) {
        const char c = raw[j];
        if (c == '<') {
            // A tag, or a whole script or style element, becomes one space; without its end
            // the rest of the page is swallowed.
            const std::string_view code = CodeElementAt(raw, j);
            size_t end = std::string_view::npos;
            if (code.empty()) {
                end = Find(raw, '>', j + 1);
            } else {
                size_t from = j + 1 + code.size();
                for (;;) {
                    const size_t close = FindNoCase(raw, "</", from);
                    if (close == std::string_view::npos) {
                        break;
                    }
                    if (MatchesAt(raw, close + 2, code)) {
                        end = Find(raw, '>', close + 2 + code.size());
                        break;
                    }
                    from = close + 1;
                }
            }
            j = end == std::string_view::npos ? n : end + 1;
            plain += ' ';
        } else if (c == '&') {
            // An entity reference becomes one space; an "&" without a later ";" swallows the
            // rest of the page.
            const size_t end = Find(raw, ';', j + 1);
            j = end == std::string_view::npos ? n : end + 1;
            plain += ' ';
        } else if (IsControl(c)) {
            while (j < n && IsControl(raw[j])) {
                ++j;
            }
            plain += ' ';
        } else {
            // Copy the run of ordinary bytes at once.
            size_t k = j + 1;
            while (k < n && raw[k] != '<' && raw[k] != '&' && !IsControl(raw[k])) {
                ++k;
            }
            plain.append(raw.data() + j, k - j);
            j = k;
        }
    }
}

std::string_view THtmlParser::TrimToAlphanumeric(std::string_view text) {
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

void THtmlParser::ReadBody(TFileWords& fileWords) {
    // Words of the body are separated by spaces only; StripMarkup has turned tags, entity
    // references and control characters into spaces. A plain text has no "&" left, so each
    // word goes straight to the edge trimming.
    const std::string_view plain = plain_;
    size_t p = 0;
    const size_t n = plain.size();
    while (p < n) {
        while (p < n && plain[p] == ' ') {
            ++p;
        }
        const size_t start = p;
        while (p < n && plain[p] != ' ') {
            ++p;
        }
        if (p > start) {
            AddCandidate(plain.substr(start, p - start), fileWords);
        }
    }
}

void THtmlParser::ReadTitle(std::string_view raw, TFileWords& fileWords) {
    // Positions from size - length("/title") on are never examined.
    if (raw.size() <= 6) {
        return;
    }
    const size_t limit = raw.size() - 6;
    std::string text;
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
        if (inTitle) {
            text += raw[pos];
        }
        ++pos;
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

void THtmlParser::ReadKeywordParams(std::string_view raw, TFileWords& fileWords) {
    size_t pos = 0;
    for (;;) {
        pos = FindElement(raw, pos, "param");
        if (pos == std::string_view::npos) {
            return;
        }
        // The name attribute: searched beyond the element, up to the end of the page.
        pos = FindAttribute(raw, pos, "name", " ", false);
        if (pos == std::string_view::npos) {
            return;
        }
        const size_t key = FindAttribute(raw, pos, "keyword", " =\"", true);
        if (key == std::string_view::npos) {
            return;
        }
        if (key == kGiveUp) {
            pos = Find(raw, '>', pos + 1);
            continue;
        }
        pos = key;
        if (pos < raw.size() && raw[pos] == '>') {
            continue;
        }
        const size_t value = FindAttribute(raw, pos, "value", " =\"", true);
        if (value == std::string_view::npos) {
            return;
        }
        if (value == kGiveUp) {
            pos = Find(raw, '>', pos + 1);
            continue;
        }
        pos = value;
        while (pos < raw.size() && (raw[pos] == ' ' || raw[pos] == '=' || raw[pos] == '"')) {
            ++pos;
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
    size_t pos = 0;
    for (;;) {
        pos = FindElement(raw, pos, "meta");
        if (pos == std::string_view::npos) {
            return;
        }
        pos = FindAttribute(raw, pos, "name", " ", false);
        if (pos == std::string_view::npos) {
            return;
        }
        const size_t key = FindAttribute(raw, pos, "description", " =\"", true);
        if (key == std::string_view::npos) {
            return;
        }
        if (key == kGiveUp) {
            pos = Find(raw, '>', pos + 1);
            continue;
        }
        pos = key;
        if (pos < raw.size() && raw[pos] == '>') {
            continue;
        }
        const size_t content = FindAttribute(raw, pos, "content", " =\"", true);
        if (content == std::string_view::npos) {
            return;
        }
        if (content == kGiveUp) {
            pos = Find(raw, '>', pos + 1);
            continue;
        }
        pos = content;
        while (pos < raw.size() && (raw[pos] == ' ' || raw[pos] == '=' || raw[pos] == '"')) {
            ++pos;
        }
        // Spaces and commas separate the candidates; the closing quote or ">" ends the reader,
        // so only the first matching element counts.
        size_t start = pos;
        while (pos < raw.size()) {
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
            ++pos;
        }
        return;  // no closing quote or ">": the pending candidate is dropped
    }
}

void THtmlParser::AddCandidate(std::string_view text, TFileWords& fileWords) {
    // SplitEntities, as a loop: the part before the first "&" holds no "&" and is a plain
    // candidate; the part after the first ";" is a candidate of its own, split again.
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
        AddWord(TrimToAlphanumeric(TrimBlanks(text.substr(0, amp))), fileWords);
        const size_t semicolon = text.find(';');
        if (semicolon == std::string_view::npos) {
            return;
        }
        text = text.substr(semicolon + 1);
    }
}

void THtmlParser::AddWord(std::string_view word, TFileWords& fileWords) {
    if (!word.empty()) {
        fileWords.Offer(word, filterGeneration_, &THtmlParser::PassesFilters, this);
    }
}

bool THtmlParser::PassesFilters(void* parser, std::string_view word) {
    return static_cast<const THtmlParser*>(parser)->Passes(word);
}

bool THtmlParser::Passes(std::string_view word) const {
    if ((filters_.Options & kUseDefaultExclude) && filters_.DefaultList &&
        filters_.DefaultList->IsExcluded(word)) {
        return false;
    }
    if (filters_.SecondaryList && filters_.SecondaryList->IsExcluded(word)) {
        return false;
    }
    return !((filters_.Options & kExcludeNumbers) && HasDigit(word));
}

}  // namespace tarnwick
