// The hash and the byte equality of the pipeline's tables (TOpenTable and its users).
//
// HashText reads a text of up to sixteen bytes as two 64-bit numbers that hold all its bytes
// (longer ones sixteen bytes at a time) and mixes them with two published steps, in plain 64-bit
// arithmetic:
// - the first number is multiplied by 0x9e3779b97f4a7c15, 2^64 divided by the golden ratio (the
//   constant of Knuth's multiplicative "Fibonacci" hashing), which spreads its bits upwards, and
//   the second, turned by half a word so that its high bytes land where the product's do not,
//   is xored in;
// - the result goes through the 64-bit finalizer of MurmurHash3 ("fmix64", Austin Appleby, public
//   domain) with its published constants, which makes every input bit change about half of the
//   output bits, the low ones included.
// The low bits pick a table's slot and the high half serves as a tag, so both must be well mixed.
// The values are never stored or compared across runs, only within one table. A 128-bit product
// folded into 64 bits mixes in one multiply, but standard C++ has no such product, and writing
// it out from four 32-bit products made the page parser measurably slower.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tarnwick {

// MurmurHash3's fmix64.
constexpr std::uint64_t Avalanche(std::uint64_t k) {
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdull;
    k ^= k >> 33;
    k *= 0xc4ceb9fe1a85ec53ull;
    k ^= k >> 33;
    return k;
}

// Two 64-bit numbers mixed into one.
constexpr std::uint64_t MixPair(std::uint64_t a, std::uint64_t b) {
    return Avalanche((a * 0x9e3779b97f4a7c15ull) ^ std::rotl(b, 32));
}

inline std::uint64_t HashText(std::string_view text) {
    auto load64 = [](const char* p) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    };
    auto load32 = [](const char* p) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return static_cast<std::uint64_t>(v);
    };
    const char* p = text.data();
    size_t n = text.size();
    // The loads below hold every byte of a text of up to sixteen; the length tells apart texts
    // whose loads agree.
    std::uint64_t state = n;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (n <= 16) {
        if (n >= 8) {
            a = load64(p);
            b = load64(p + n - 8);
        } else if (n >= 4) {
            a = load32(p) | (load32(p + n - 4) << 32);
        } else if (n > 0) {
            a = (static_cast<std::uint64_t>(static_cast<unsigned char>(p[0])) << 16) |
                (static_cast<std::uint64_t>(static_cast<unsigned char>(p[n / 2])) << 8) |
                static_cast<unsigned char>(p[n - 1]);
        }
    } else {
        while (n > 16) {
            state = MixPair(state ^ load64(p), load64(p + 8));
            p += 16;
            n -= 16;
        }
        a = load64(p + n - 16);
        b = load64(p + n - 8);
    }
    return MixPair(a, b ^ state);
}

// Byte equality of two texts, inline for the short ones that words and keys are (the tables
// compare texts only after their hashes matched, so the answer is nearly always yes).
inline bool SameText(std::string_view a, std::string_view b) {
    const size_t n = a.size();
    if (n != b.size()) {
        return false;
    }
    const char* p = a.data();
    const char* q = b.data();
    if (n >= 8 && n <= 16) {
        std::uint64_t x[2];
        std::uint64_t y[2];
        std::memcpy(&x[0], p, 8);
        std::memcpy(&x[1], p + n - 8, 8);
        std::memcpy(&y[0], q, 8);
        std::memcpy(&y[1], q + n - 8, 8);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }
    if (n >= 4 && n < 8) {
        std::uint32_t x[2];
        std::uint32_t y[2];
        std::memcpy(&x[0], p, 4);
        std::memcpy(&x[1], p + n - 4, 4);
        std::memcpy(&y[0], q, 4);
        std::memcpy(&y[1], q + n - 4, 4);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }
    if (n < 4) {
        for (size_t i = 0; i < n; ++i) {
            if (p[i] != q[i]) {
                return false;
            }
        }
        return true;
    }
    return std::memcmp(p, q, n) == 0;
}

}  // namespace tarnwick
