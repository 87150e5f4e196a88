// The encoder's integer logarithm: exact at powers of two, within one unit
// of the fraction's last bit elsewhere, and never decreasing.
#include <gtest/gtest.h>

#include <cmath>

#include "encode/fixed_log2.h"

namespace {

using lzh::Log2Fixed;

TEST(Log2Fixed, PowersOfTwoAreExact) {
    EXPECT_EQ(Log2Fixed(0), 0u);
    for (unsigned k = 0; k < 32; k++) EXPECT_EQ(Log2Fixed(1u << k), k << 16) << k;
}

TEST(Log2Fixed, FollowsTheLogarithmAndNeverFalls) {
    uint32_t previous = 0;
    for (uint32_t x = 1; x < 300000; x++) {
        const uint32_t v = Log2Fixed(x);
        ASSERT_GE(v, previous) << x;
        previous = v;
        const double exact = std::log2(static_cast<double>(x)) * 65536;
        // Truncated: never above the logarithm, at most two units below it.
        ASSERT_LE(v, exact + 1e-6) << x;
        ASSERT_GE(v + 2.0, exact) << x;
    }
    for (const uint32_t x : {3u, 1000003u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        const double exact = std::log2(static_cast<double>(x)) * 65536;
        EXPECT_NEAR(Log2Fixed(x), exact, 2.0) << x;
    }
}

}  // namespace
