// Byte scanning for the page parser: finding the end of a run of text bytes, or of blanks, sixteen
// bytes at a time where the processor offers it, so that the hot loops do not branch per byte.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick::scan {

// A text byte of the body is anything but a blank (0x00-0x20), "<" and "&": the bytes that a
// body word is made of.
inline bool IsTextByte(unsigned char c) {
    return c > 0x20 && c != '<' && c != '&';
}

// The first position in [p, end) that holds no text byte, or end.
inline const char* SkipText(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lastBlank = _mm_set1_epi8(0x20);
    const __m128i open = _mm_set1_epi8('<');
    const __m128i amp = _mm_set1_epi8('&');
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // Unsigned b <= 0x20 is min(b, 0x20) == b.
        const __m128i blank = _mm_cmpeq_epi8(_mm_min_epu8(bytes, lastBlank), bytes);
        const __m128i stop = _mm_or_si128(
            blank, _mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, amp)));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
        if (mask != 0) {
            return p + __builtin_ctz(mask);
        }
        p += 16;
    }
#endif
    while (p < end && IsTextByte(static_cast<unsigned char>(*p))) {
        ++p;
    }
    return p;
}

// The first position in [p, end) that holds no blank (0x00-0x20), or end.
inline const char* SkipBlanks(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lastBlank = _mm_set1_epi8(0x20);
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i blank = _mm_cmpeq_epi8(_mm_min_epu8(bytes, lastBlank), bytes);
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(blank)) ^ 0xFFFFu;
        if (mask != 0) {
            return p + __builtin_ctz(mask);
        }
        p += 16;
    }
#endif
    while (p < end && static_cast<unsigned char>(*p) <= 0x20) {
        ++p;
    }
    return p;
}

// The first position in [p, end) that holds `c`, or end. Inline, for the short distances to the
// end of a tag or an entity reference, where a library call costs more than the search.
inline const char* FindByte(const char* p, const char* end, char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
        if (mask != 0) {
            return p + __builtin_ctz(mask);
        }
        p += 16;
    }
#endif
    while (p < end && *p != c) {
        ++p;
    }
    return p;
}

// Calls `found(position)` for every "<" in [begin, end) whose next byte is a space or, in either
// letter case, `first` or `second`: the openings where an element of those names may start.
template <class Found>
void ForEachOpening(const char* begin, const char* end, char first, char second, Found&& found) {
    const char* p = begin;
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('<');
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i lowerBit = _mm_set1_epi8(0x20);
    const __m128i a = _mm_set1_epi8(static_cast<char>(first | 0x20));
    const __m128i b = _mm_set1_epi8(static_cast<char>(second | 0x20));
    // Each block reads one byte beyond itself.
    while (end - p >= 17) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i lower = _mm_or_si128(next, lowerBit);
        const __m128i nameStart =
            _mm_or_si128(_mm_cmpeq_epi8(next, space),
                         _mm_or_si128(_mm_cmpeq_epi8(lower, a), _mm_cmpeq_epi8(lower, b)));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(bytes, open), nameStart)));
        while (mask != 0) {
            found(static_cast<size_t>(p + __builtin_ctz(mask) - begin));
            mask &= mask - 1;
        }
        p += 16;
    }
#endif
    for (; p + 1 < end; ++p) {
        const char next = static_cast<char>(p[1] | 0x20);
        if (*p == '<' && (p[1] == ' ' || next == (first | 0x20) || next == (second | 0x20))) {
            found(static_cast<size_t>(p - begin));
        }
    }
}

}  // namespace tarnwick::scan
