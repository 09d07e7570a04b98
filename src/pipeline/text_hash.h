// The hash and the byte equality of the pipeline's tables (TOpenTable and its users).
//
// HashText follows wyhash, Wang Yi's public-domain hash (its releases up to "final 3"): short texts
// are read as two overlapping loads, longer ones sixteen bytes at a time, and each step is wyhash's
// "mum" mix: the 128-bit product of two 64-bit numbers, folded by xoring its halves. The three
// constants are the secrets _wyp0, _wyp1 and _wyp2 that those releases publish: odd 64-bit
// numbers with 32 of their bits set, whose products spread every input bit over both halves. The
// fold makes the low bits as well mixed as the high ones, which matters because the tables pick a
// slot with the low bits and keep the high ones as a tag. The values need not match wyhash's own:
// nothing is stored or compared across runs, only within one table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tarnwick {

// The 128-bit product of `a` and `b`, its low half xored with its high half, in standard C++:
// the four 32-bit partial products with their carries.
constexpr std::uint64_t MultiplyFold(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t aLow = a & 0xffffffffu;
    const std::uint64_t aHigh = a >> 32;
    const std::uint64_t bLow = b & 0xffffffffu;
    const std::uint64_t bHigh = b >> 32;
    const std::uint64_t lowLow = aLow * bLow;
    const std::uint64_t lowHigh = aLow * bHigh;
    const std::uint64_t highLow = aHigh * bLow;
    const std::uint64_t highHigh = aHigh * bHigh;
    const std::uint64_t middle = (lowLow >> 32) + (lowHigh & 0xffffffffu) + (highLow & 0xffffffffu);
    const std::uint64_t low = (middle << 32) | (lowLow & 0xffffffffu);
    const std::uint64_t high = highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32);
    return low ^ high;
}

// Products whose partial sums carry into the high half.
static_assert(MultiplyFold(0xffffffffffffffffull, 0xffffffffffffffffull) == 0xffffffffffffffffull);
static_assert(MultiplyFold(0xffffffffffffffffull, 0x2ull) == 0xffffffffffffffffull);
static_assert(MultiplyFold(0x100000000ull, 0x100000000ull) == 0x1ull);
static_assert(MultiplyFold(0xa0761d6478bd642full, 0xe7037ed1a0b428dbull) == 0x1ff5c2923a788d2cull);
static_assert(MultiplyFold(0xffffffff00000001ull, 0x1ffffffffull) == 0x300000002ull);

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
    constexpr std::uint64_t kWyp0 = 0xa0761d6478bd642full;
    constexpr std::uint64_t kWyp1 = 0xe7037ed1a0b428dbull;
    constexpr std::uint64_t kWyp2 = 0x8ebc6af09c88c6e3ull;
    const char* p = text.data();
    size_t n = text.size();
    std::uint64_t seed = kWyp2 ^ n;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (n <= 16) {
        if (n >= 8) {
            a = load64(p);
            b = load64(p + n - 8);
        } else if (n >= 4) {
            a = load32(p);
            b = load32(p + n - 4);
        } else if (n > 0) {
            a = (static_cast<std::uint64_t>(static_cast<unsigned char>(p[0])) << 16) |
                (static_cast<std::uint64_t>(static_cast<unsigned char>(p[n / 2])) << 8) |
                static_cast<unsigned char>(p[n - 1]);
        }
    } else {
        while (n > 16) {
            seed = MultiplyFold(load64(p) ^ kWyp1, load64(p + 8) ^ seed);
            p += 16;
            n -= 16;
        }
        a = load64(p + n - 16);
        b = load64(p + n - 8);
    }
    return MultiplyFold(kWyp1 ^ text.size(), MultiplyFold(a ^ kWyp0, b ^ seed));
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
