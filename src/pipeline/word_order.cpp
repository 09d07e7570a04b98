#include "pipeline/word_order.h"

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
    const char* end = collator_.WriteAsciiKey(word, scratch_.data());
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
    collator_.AppendKeyWithCollator(word, scratch_);
    auto* item = remembered_.Insert(word, hash).first;
    item->Data = keyTexts_.Store(scratch_);
    return item->Data;
}

void SortWordsByKey(std::vector<std::string>& words, const WordCollator& collator) {
    TKeyMaker keys(collator);
    TTextArena keyTexts(1 << 20);
    SortByKey(words, [&](const std::string& word) { return keyTexts.Store(keys.KeyOf(word)); });
}

}  // namespace tarnwick
