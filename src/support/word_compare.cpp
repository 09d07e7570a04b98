#include "support/word_compare.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "support/cp1252.h"

namespace tarnwick {
namespace {

// ICU's common secondary weight: the accent weight of a character without an accent.
constexpr int kCommonSecondary = 0x05;

// Continuation elements carry the rest of a long primary weight, not a character of their own.
bool IsContinuation(int32_t element) {
    return (element & 0xC0) == 0xC0;
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
    static const WordCollator instance;
    return instance;
}

WordCollator::WordCollator() {
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
    AppendDecodedCp1252(a, buffers.a);
    AppendDecodedCp1252(b, buffers.b);
    UCollationResult r =
        ucol_strcoll(collator_, buffers.a.data(), static_cast<int32_t>(buffers.a.size()),
                     buffers.b.data(), static_cast<int32_t>(buffers.b.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

void WordCollator::AppendKey(std::string_view word, std::string& out) const {
    DecodeBuffers& buffers = ThreadBuffers();
    buffers.a.clear();
    AppendDecodedCp1252(word, buffers.a);
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
