// Match copies against a byte-at-a-time forward copy, for every distance
// near the step sizes and every length a method can ask for.
#include "decode/match_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kLongestMatch = 287;

TEST(MatchCopy, EqualsAByteWiseForwardCopy) {
    constexpr uint32_t kHistory = 80;
    constexpr uint8_t kGuard = 0xA5;
    std::vector<uint8_t> got(kHistory + kLongestMatch + lzh::kCopyOverrun + 16);
    std::vector<uint8_t> want(got.size());
    for (uint32_t distance = 1; distance <= kHistory; distance++) {
        for (uint32_t length = 1; length <= kLongestMatch; length++) {
            for (uint32_t i = 0; i < kHistory; i++) want[i] = static_cast<uint8_t>(i * 7 + 1);
            std::fill(want.begin() + kHistory, want.end(), kGuard);
            got = want;
            for (uint32_t i = 0; i < length; i++) want[kHistory + i] = want[kHistory + i - distance];

            lzh::CopyMatch(got.data() + kHistory, distance, length);

            // The match's bytes, the history untouched, and nothing written
            // beyond the overrun the window leaves room for.
            ASSERT_TRUE(std::equal(want.begin(), want.begin() + kHistory + length, got.begin()))
                << "distance " << distance << ", length " << length;
            const size_t free = kHistory + length + lzh::kCopyOverrun;
            for (size_t i = free; i < got.size(); i++)
                ASSERT_EQ(got[i], kGuard) << "distance " << distance << ", length " << length << ", byte " << i;
        }
    }
}

}  // namespace
