#include "support/word_compare.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "support/code_page.h"

namespace tarnwick {
namespace {

// ICU's common secondary weight: the accent weight of a character without an accent.
constexpr int kCommonSecondary = 0x05;

// Continuation elements carry the rest of a long primary weight, not a character of their own.
bool IsContinuation(int32_t element) {
    return (element & 0xC0) == 0xC0;
}

// How the collator writes the accent level of a sort key: a level separator, then runs of
// common accent weights compressed so that n of them at the end of a key become (n - 1) / 33
// middle bytes followed by one low byte counting the rest.
constexpr char kLevelSeparator = 0x01;
constexpr unsigned char kCommonSecondaryLow = 0x05;
constexpr unsigned char kCommonSecondaryMiddle = 0x25;
constexpr size_t kCommonSecondaryMaxCount = 33;

// Writes the compressed run of `count` common accent weights at `out`; returns the end.
char* WriteCommonSecondaries(size_t count, char* out) {
    if (count == 0) {
        return out;
    }
    size_t rest = count - 1;
    while (rest >= kCommonSecondaryMaxCount) {
        *out++ = static_cast<char>(kCommonSecondaryMiddle);
        rest -= kCommonSecondaryMaxCount;
    }
    *out++ = static_cast<char>(kCommonSecondaryLow + rest);
    return out;
}

struct DecodeBuffers {
    std::u16string a;
    std::u16string b;
};

DecodeBuffers& ThreadBuffers() {
    thread_local DecodeBuffers buffers;
    return buffers;
}

}  // namespace

const WordCollator& WordCollator::Instance() {
    static const WordCollator& instance = For(1252);
    return instance;
}

const WordCollator& WordCollator::For(int codePage) {
    const TCodePage& page = TCodePage::For(codePage);
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<WordCollator>> collators;
    const std::lock_guard lock(mutex);
    std::unique_ptr<WordCollator>& collator = collators[page.Number()];
    if (!collator) {
        collator.reset(new WordCollator(page));
    }
    return *collator;
}

WordCollator::WordCollator(const TCodePage& codePage) : codePage_(codePage) {
    UErrorCode status = U_ZERO_ERROR;
    collator_ = ucol_open("", &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("Cannot open the word collator: ") +
                                 u_errorName(status));
    }
    ucol_setStrength(collator_, UCOL_SECONDARY);

    // Work out which ASCII bytes the shortcut may handle: those the collator maps to exactly one
    // element with the common accent weight, or ignores altogether. Strings made only of such
    // bytes compare as the sequence of their elements' primary weights, that is, their ranks.
    std::vector<unsigned char> ranked;
    for (unsigned c = 0; c < 128; ++c) {
        asciiRank_[c] = kNoRank;
        UChar text = static_cast<UChar>(c);
        status = U_ZERO_ERROR;
        UCollationElements* elements = ucol_openElements(collator_, &text, 1, &status);
        if (U_FAILURE(status)) {
            continue;
        }
        int count = 0;
        int32_t first = 0;
        for (;;) {
            int32_t element = ucol_next(elements, &status);
            if (U_FAILURE(status) || element == UCOL_NULLORDER) {
                break;
            }
            if (element == 0 || IsContinuation(element)) {
                continue;
            }
            if (count++ == 0) {
                first = element;
            }
        }
        ucol_closeElements(elements);
        if (U_FAILURE(status)) {
            continue;
        }
        if (count == 0) {
            asciiRank_[c] = 0;
        } else if (count == 1 && ucol_primaryOrder(first) != 0 &&
                   ucol_secondaryOrder(first) == kCommonSecondary) {
            ranked.push_back(static_cast<unsigned char>(c));
        }
    }
    // A contraction made only of ASCII characters would join bytes into one element; none of
    // its characters may take the shortcut then.
    status = U_ZERO_ERROR;
    USet* contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(collator_, contractions, nullptr, false, &status);
    if (U_SUCCESS(status)) {
        UChar item[64];
        for (int32_t i = 0; i < uset_getItemCount(contractions); ++i) {
            UChar32 start = 0;
            UChar32 end = 0;
            UErrorCode itemStatus = U_ZERO_ERROR;
            int32_t length = uset_getItem(contractions, i, &start, &end, item, 64, &itemStatus);
            if (length <= 0 || U_FAILURE(itemStatus)) {
                continue;
            }
            bool allAscii = std::all_of(item, item + length, [](UChar u) { return u < 128; });
            if (allAscii) {
                for (int32_t k = 0; k < length; ++k) {
                    std::erase(ranked, static_cast<unsigned char>(item[k]));
                    asciiRank_[item[k]] = kNoRank;
                }
            }
        }
    }
    uset_close(contractions);

    auto compareOne = [this](unsigned char x, unsigned char y) {
        UChar ux = x;
        UChar uy = y;
        return ucol_strcoll(collator_, &ux, 1, &uy, 1);
    };
    std::stable_sort(ranked.begin(), ranked.end(),
                     [&](unsigned char x, unsigned char y) { return compareOne(x, y) < 0; });
    unsigned char rank = 0;
    for (size_t i = 0; i < ranked.size(); ++i) {
        if (i == 0 || compareOne(ranked[i - 1], ranked[i]) != 0) {
            ++rank;
        }
        asciiRank_[ranked[i]] = rank;
    }
    BuildAsciiKeys();
}

void WordCollator::BuildAsciiKeys() {
    // Each byte's own sort key tells its weights: primary bytes, the level separator, then one
    // common accent weight (or, for a byte the collator ignores, nothing on either level).
    std::string key;
    std::fill(std::begin(singlePrimary_), std::end(singlePrimary_), 0);
    for (unsigned c = 0; c < 128; ++c) {
        AsciiWeight& weight = asciiWeight_[c];
        weight.Length = kNoWeight;
        const char byte = static_cast<char>(c);
        key.clear();
        AppendKeyWithCollator(std::string_view(&byte, 1), key);
        const size_t separator = key.find(kLevelSeparator);
        if (separator == std::string::npos || separator > sizeof weight.Bytes) {
            continue;
        }
        const std::string_view accents = std::string_view(key).substr(separator + 1);
        const bool ignored = separator == 0 && accents.empty();
        const bool common = separator > 0 && accents.size() == 1 &&
                            static_cast<unsigned char>(accents[0]) == kCommonSecondaryLow;
        if (ignored || common) {
            weight.Length = static_cast<unsigned char>(separator);
            std::copy(key.begin(), key.begin() + static_cast<std::ptrdiff_t>(separator),
                      weight.Bytes);
            if (separator == 1) {
                singlePrimary_[c] = weight.Bytes[0];
            }
        }
    }
    // The table is only good if the collator builds longer keys by plain concatenation: no
    // compression of primary weights (which would show in a byte followed by itself or by
    // another byte of its group), no contraction, and the accent runs as above. A quick check
    // here; the tests compare every pair and triple of bytes. On any difference the collator
    // makes every key.
    asciiKeys_ = true;
    std::string fast;
    auto agrees = [&](std::string_view word) {
        fast.clear();
        key.clear();
        if (!AppendAsciiKey(word, fast)) {
            return true;
        }
        AppendKeyWithCollator(word, key);
        return fast == key;
    };
    for (unsigned x = 0; x < 128 && asciiKeys_; ++x) {
        for (unsigned y : {x, x ^ 0x20u, unsigned{'a'}, unsigned{'0'}, unsigned{'-'}, 1u}) {
            const char forward[2] = {static_cast<char>(x), static_cast<char>(y)};
            const char backward[2] = {static_cast<char>(y), static_cast<char>(x)};
            asciiKeys_ =
                agrees(std::string_view(forward, 2)) && agrees(std::string_view(backward, 2));
            if (!asciiKeys_) {
                break;
            }
        }
    }
    for (size_t n = 1; n <= 100 && asciiKeys_; ++n) {
        asciiKeys_ = agrees(std::string(n, 'a')) && agrees(std::string(n, '-') + "Z\x01");
    }
}

size_t WordCollator::AsciiKeyRoom(size_t length) {
    return 3 * length + 1 + length / kCommonSecondaryMaxCount + 1 + 3;
}

char* WordCollator::WriteAsciiKey(std::string_view word, char* out) const {
    if (!asciiKeys_) {
        return nullptr;
    }
    // Nearly every byte of a word is a letter or digit, whose weight is one primary byte.
    char* p = out;
    size_t i = 0;
    for (; i < word.size(); ++i) {
        const unsigned char primary = singlePrimary_[static_cast<unsigned char>(word[i])];
        if (primary == 0) {
            break;
        }
        *p++ = static_cast<char>(primary);
    }
    size_t weighted = i;
    for (; i < word.size(); ++i) {
        const auto u = static_cast<unsigned char>(word[i]);
        if (u >= 128 || asciiWeight_[u].Length == kNoWeight) {
            return nullptr;
        }
        // Three bytes are copied, as many as the weight has are kept.
        const AsciiWeight& weight = asciiWeight_[u];
        std::memcpy(p, weight.Bytes, sizeof weight.Bytes);
        p += weight.Length;
        weighted += weight.Length != 0;
    }
    *p++ = kLevelSeparator;
    return WriteCommonSecondaries(weighted, p);
}

bool WordCollator::AppendAsciiKey(std::string_view word, std::string& out) const {
    const size_t start = out.size();
    out.resize(start + AsciiKeyRoom(word.size()));
    char* const end = WriteAsciiKey(word, out.data() + start);
    out.resize(end ? static_cast<size_t>(end - out.data()) : start);
    return end != nullptr;
}

WordCollator::~WordCollator() {
    ucol_close(collator_);
}

bool WordCollator::CompareAscii(std::string_view a, std::string_view b, int& result) const {
    for (char c : a) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 128 || asciiRank_[u] == kNoRank)
            return false;
    }
    for (char c : b) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 128 || asciiRank_[u] == kNoRank)
            return false;
    }
    size_t i = 0;
    size_t j = 0;
    for (;;) {
        unsigned char ra = 0;
        while (i < a.size() && ra == 0) {
            ra = asciiRank_[static_cast<unsigned char>(a[i++])];
        }
        unsigned char rb = 0;
        while (j < b.size() && rb == 0) {
            rb = asciiRank_[static_cast<unsigned char>(b[j++])];
        }
        if (ra != rb) {
            result = ra < rb ? -1 : 1;
            return true;
        }
        if (ra == 0) {
            result = 0;
            return true;
        }
    }
}

int WordCollator::Compare(std::string_view a, std::string_view b) const {
    if (a == b) {
        return 0;
    }
    int result = 0;
    if (CompareAscii(a, b, result)) {
        return result;
    }
    return CompareWithCollator(a, b);
}

int WordCollator::CompareWithCollator(std::string_view a, std::string_view b) const {
    DecodeBuffers& buffers = ThreadBuffers();
    buffers.a.clear();
    buffers.b.clear();
    codePage_.AppendDecoded(a, buffers.a);
    codePage_.AppendDecoded(b, buffers.b);
    UCollationResult r =
        ucol_strcoll(collator_, buffers.a.data(), static_cast<int32_t>(buffers.a.size()),
                     buffers.b.data(), static_cast<int32_t>(buffers.b.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

void WordCollator::AppendKey(std::string_view word, std::string& out) const {
    if (!AppendAsciiKey(word, out)) {
        AppendKeyWithCollator(word, out);
    }
}

void WordCollator::AppendKeyWithCollator(std::string_view word, std::string& out) const {
    DecodeBuffers& buffers = ThreadBuffers();
    buffers.a.clear();
    codePage_.AppendDecoded(word, buffers.a);
    const size_t start = out.size();
    int32_t room = static_cast<int32_t>(word.size() * 4 + 16);
    for (;;) {
        out.resize(start + static_cast<size_t>(room));
        auto* dst = reinterpret_cast<uint8_t*>(out.data() + start);
        int32_t needed = ucol_getSortKey(collator_, buffers.a.data(),
                                         static_cast<int32_t>(buffers.a.size()), dst, room);
        if (needed <= room) {
            // The key ends in a NUL that belongs to ICU's C interface, not to the order.
            out.resize(start + static_cast<size_t>(needed > 0 ? needed - 1 : 0));
            return;
        }
        room = needed;
    }
}

std::string WordCollator::Key(std::string_view word) const {
    std::string key;
    AppendKey(word, key);
    return key;
}

}  // namespace tarnwick
