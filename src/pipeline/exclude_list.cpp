#include "pipeline/exclude_list.h"

#include <algorithm>
#include <atomic>

#include "pipeline/word_order.h"
#include "platform/file_system.h"
#include "support/utils.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

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

std::vector<std::string> ReadListLines(const std::string& path) {
    // Lists are written whole to a temporary file that then replaces the list, so a reader never
    // meets half a list and needs no lock.
    return SplitListLines(ReadRegularFile(path, kMaxListFileSize, "an exclude list"));
}

std::uint64_t TExcludeList::TChangeStamp::Next() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

TExcludeList::TExcludeList(std::string fileName, const WordCollator& collator)
    : FileName(std::move(fileName)), collator_(&collator) {
    if (FileName.empty()) {
        return;
    }
    std::vector<std::string> lines = ReadListLines(FileName);
    // Adding the lines one by one would keep the first spelling of equal words; a stable sort
    // by key followed by dropping later equals gives the same list without quadratic inserts.
    std::vector<std::string> keys;
    keys.reserve(lines.size());
    for (const std::string& line : lines) {
        keys.push_back(collator.Key(line));
    }
    const std::vector<std::uint32_t> order =
        OrderByKey(lines.size(), [&keys](size_t i) { return std::string_view(keys[i]); });
    words_.reserve(lines.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]] == keys[order[i - 1]]) {
            continue;
        }
        keys_.Insert(keys[order[i]]);
        words_.push_back(std::move(lines[order[i]]));
    }
}

size_t TExcludeList::LowerBound(std::string_view word, bool& equal) const {
    const WordCollator& collator = *collator_;
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

bool TExcludeList::AddWord(std::string_view word) {
    bool equal = false;
    const size_t at = LowerBound(word, equal);
    if (equal) {
        return false;
    }
    words_.insert(words_.begin() + static_cast<std::ptrdiff_t>(at), std::string(word));
    keys_.Insert(collator_->Key(word));
    stamp_.Renew();
    return true;
}

void TExcludeList::Save(TFileSystem& system) const {
    if (FileName.empty()) {
        return;
    }
    TFileWriter writer(FileName, system);
    for (const std::string& word : words_) {
        writer.Write(word);
        writer.Write("\r\n");
    }
    writer.Close();
}

}  // namespace tarnwick
