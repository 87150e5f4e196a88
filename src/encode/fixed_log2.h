// Base-2 logarithms in fixed point, computed with integers only: the
// encoder's choices (block ends, match prices) must come out the same on
// every compiler and processor, so that a package's bytes do not depend on
// which build of the packer made it (a floating-point log2 differs between
// C libraries in its last bits, and a 32-bit x87 build rounds sums
// differently).
#pragma once

#include <bit>
#include <cstdint>

namespace lzh {

constexpr unsigned kLog2FractionBits = 16;

// log2(x) * 2^16 for x >= 1 (0 for 0), its fraction truncated: the integer
// part from the leading bit, then one fraction bit per squaring of the
// mantissa.
constexpr uint32_t Log2Fixed(uint32_t x) {
    if (x == 0) return 0;
    const unsigned top = 31 - static_cast<unsigned>(std::countl_zero(x));
    uint32_t result = top << kLog2FractionBits;
    uint64_t m = static_cast<uint64_t>(x) << (31 - top);  // the mantissa, 1.0 = 2^31
    for (unsigned bit = kLog2FractionBits; bit-- > 0;) {
        m = (m * m) >> 31;
        // 1 when the square reached 2.0 (it stays below 4.0), taken
        // without a branch: half the bits of a fraction are ones.
        const uint32_t two = static_cast<uint32_t>(m >> 32);
        m >>= two;
        result |= two << bit;
    }
    return result;
}

}  // namespace lzh
