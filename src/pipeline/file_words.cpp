#include "pipeline/file_words.h"

#include <algorithm>
#include <cstring>

#include "support/word_compare.h"

namespace tarnwick {

namespace {

// Up to eight bytes as a big-endian number, zero-padded.
std::uint64_t BigEndian(const char* p, size_t n) {
    if (n >= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        return __builtin_bswap64(v);
    }
    std::uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (56 - 8 * i);
    }
    return v;
}

}  // namespace

TKeyPrefix TKeyPrefix::Of(std::string_view key) {
    const size_t n = key.size();
    return {BigEndian(key.data(), n), n > 8 ? BigEndian(key.data() + 8, n - 8) : 0};
}

bool TKeyMaker::TableKey(std::string_view word, std::string_view& key) {
    const size_t room = WordCollator::AsciiKeyRoom(word.size());
    if (scratch_.size() < room) {
        scratch_.resize(std::max(room, scratch_.size() * 2));
    }
    const char* end = WordCollator::Instance().WriteAsciiKey(word, scratch_.data());
    if (!end) {
        return false;
    }
    key = std::string_view(scratch_.data(), static_cast<size_t>(end - scratch_.data()));
    return true;
}

std::string_view TKeyMaker::CollatorKey(std::string_view word) {
    const std::uint64_t hash = HashText(word);
    if (const auto* item = remembered_.Find(word, hash)) {
        return item->Data;
    }
    if (remembered_.Size() >= kMaxRemembered) {
        remembered_.Clear();
        keyTexts_.Clear();
    }
    scratch_.clear();
    WordCollator::Instance().AppendKeyWithCollator(word, scratch_);
    auto* item = remembered_.Insert(word, hash).first;
    item->Data = keyTexts_.Store(scratch_);
    return item->Data;
}

bool TFileWords::Add(std::string_view word) {
    thread_local TKeyMaker keys;
    return Offer(word, keys, nullptr, nullptr) == Outcome::Added;
}

TFileWords::Outcome TFileWords::Offer(std::string_view word, TKeyMaker& keys, FilterFn passes,
                                      void* context) {
    // Most words of a page repeat: an exact repeat is answered by its spelling, before any key
    // is made.
    std::string_view spelling;
    if (!spellings_.InsertCopy(word, HashText(word),
                               [&] { return spelling = texts_.Store(word); })) {
        return Outcome::Present;
    }
    const std::string_view key = keys.KeyOf(word);
    const std::uint64_t keyHash = HashText(key);
    std::string_view storedKey;
    const TViewSet::Insertion taken = keys_.InsertCopyIf(
        key, keyHash, [&] { return !passes || passes(context, spelling, key, keyHash); },
        [&] { return storedKey = texts_.Store(key); });
    if (taken == TViewSet::Insertion::Present) {
        return Outcome::Present;  // another spelling of the word came first
    }
    if (taken == TViewSet::Insertion::Refused) {
        return Outcome::Rejected;
    }
    words_.push_back({spelling, storedKey, keyHash, TKeyPrefix::Of(storedKey)});
    sorted_ = false;
    return Outcome::Added;
}

void TFileWords::Clear() {
    // A page with very many words should not leave its memory behind for the pages after it.
    if (words_.capacity() > kKeptWords && words_.size() * 4 < words_.capacity()) {
        words_ = std::vector<TFileWord>();
    }
    words_.clear();
    spellings_.Clear();
    keys_.Clear();
    texts_.Clear();
    sorted_ = true;
}

const std::vector<TFileWord>& TFileWords::SortedWords() {
    if (!sorted_) {
        std::sort(words_.begin(), words_.end(), [](const TFileWord& a, const TFileWord& b) {
            return KeyLess(a.Prefix, a.Key, b.Prefix, b.Key);
        });
        sorted_ = true;
    }
    return words_;
}

}  // namespace tarnwick
