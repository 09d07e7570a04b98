#include "pipeline/exclude_list.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <numeric>
#include <thread>

#include "support/file_stream.h"
#include "support/utils.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

// How long a reader waits for another Tarnwick process to finish writing the list.
constexpr auto kLockWait = std::chrono::milliseconds(5000);

// The whole file, read under a shared lock so that a list another Tarnwick process is writing
// is never read half-written. File systems without flock support are read without the lock.
std::string ReadListFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw EFOpenError(path, SystemErrorText(errno));
    }
    auto fail = [&](int error) {
        ::close(fd);
        throw EFOpenError(path, SystemErrorText(error));
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        fail(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        fail(EISDIR);
    }
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            break;  // no locking here (e.g. ENOLCK): read anyway
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            fail(error);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string bytes;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (n == 0)
            break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

// The lines of a list's text: the text ends at its first NUL; lines end at CR LF, lone CR or
// lone LF; a last line without a line break counts.
std::vector<std::string> SplitListLines(std::string_view text) {
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    size_t p = 0;
    while (p < text.size()) {
        const char c = text[p];
        if (c != '\r' && c != '\n') {
            ++p;
            continue;
        }
        lines.emplace_back(text.substr(start, p - start));
        p += (c == '\r' && p + 1 < text.size() && text[p + 1] == '\n') ? 2 : 1;
        start = p;
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

}  // namespace

std::uint64_t TExcludeList::TChangeStamp::Next() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

TExcludeList::TExcludeList(std::string fileName) : FileName(std::move(fileName)) {
    if (FileName.empty()) {
        return;
    }
    std::vector<std::string> lines = SplitListLines(ReadListFile(FileName));
    // Adding the lines one by one would keep the first spelling of equal words; a stable sort
    // by key followed by dropping later equals gives the same list without quadratic inserts.
    const WordCollator& collator = WordCollator::Instance();
    std::vector<std::string> keys;
    keys.reserve(lines.size());
    for (const std::string& line : lines) {
        keys.push_back(collator.Key(line));
    }
    std::vector<size_t> order(lines.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
    words_.reserve(lines.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]] == keys[order[i - 1]]) {
            continue;
        }
        spellings_.Insert(lines[order[i]]);
        keys_.Insert(keys[order[i]]);
        words_.push_back(std::move(lines[order[i]]));
    }
}

size_t TExcludeList::LowerBound(std::string_view word, bool& equal) const {
    const WordCollator& collator = WordCollator::Instance();
    size_t low = 0;
    size_t high = words_.size();
    equal = false;
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        const int order = collator.Compare(words_[mid], word);
        if (order < 0) {
            low = mid + 1;
        } else {
            if (order == 0) {
                equal = true;
            }
            high = mid;
        }
    }
    return low;
}

bool TExcludeList::IsExcluded(std::string_view word) const {
    return spellings_.Find(word) != nullptr ||
           keys_.Find(WordCollator::Instance().Key(word)) != nullptr;
}

bool TExcludeList::AddWord(std::string_view word) {
    bool equal = false;
    const size_t at = LowerBound(word, equal);
    if (equal) {
        return false;
    }
    words_.insert(words_.begin() + static_cast<std::ptrdiff_t>(at), std::string(word));
    spellings_.Insert(word);
    keys_.Insert(WordCollator::Instance().Key(word));
    stamp_.Renew();
    return true;
}

void TExcludeList::Save() const {
    if (FileName.empty()) {
        return;
    }
    TFileWriter writer(FileName);
    for (const std::string& word : words_) {
        writer.Write(word);
        writer.Write("\r\n");
    }
    writer.Close();
}

}  // namespace tarnwick
