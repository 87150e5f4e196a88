// The default level's hash chains: a range of positions linked at once
// finds the same matches as positions linked one at a time, and every
// match found is real and in reach.
#include <gtest/gtest.h>

#include "encode/match_finder.h"
#include "encode_support.h"

namespace {

constexpr uint32_t kDictionary = 8192;

struct Found {
    unsigned length;
    uint32_t distance;
};

// Links [from, to) one at a time or as a range, then searches at `to`.
Found SearchAfter(lzh::HashChain& chain, const Bytes& data, uint32_t from, uint32_t to, bool range) {
    if (range)
        chain.InsertRange(data.data(), from, to);
    else
        for (uint32_t k = from; k < to; k++) chain.Insert(data.data(), k);
    chain.Insert(data.data(), to);
    uint32_t distance = 0;
    const uint32_t left = static_cast<uint32_t>(data.size()) - 8 - to;  // the data is padded by 8
    const unsigned limit = left < 256 ? left : 256;
    const unsigned length = chain.Longest(data.data(), to, limit, 2, 256, 48, &distance);
    return {length, length != 0 ? distance : 0};
}

}  // namespace

TEST(HashChains, RangesLinkAsPositionsOneAtATime) {
    for (const char* kind : {"text", "binary", "run", "period"}) {
        SCOPED_TRACE(kind);
        Bytes data = MakeData(kind, 30000, 4);
        data.resize(data.size() + 8, 0);
        lzh::HashChain single, ranged;
        ASSERT_TRUE(single.Allocate(kDictionary) && ranged.Allocate(kDictionary));
        single.Start(kDictionary);
        ranged.Start(kDictionary);
        unsigned matched = 0;
        // Spans of 0 to 39 positions linked, then a search, over the data.
        for (uint32_t pos = 0, step = 0; pos + 40 < data.size() - 8; pos += step + 1) {
            step = (pos * 7 + 3) % 40;
            const Found a = SearchAfter(single, data, pos, pos + step, false);
            const Found b = SearchAfter(ranged, data, pos, pos + step, true);
            ASSERT_EQ(a.length, b.length) << pos;
            ASSERT_EQ(a.distance, b.distance) << pos;
            if (b.length == 0) continue;
            matched++;
            const uint32_t at = pos + step;
            ASSERT_LT(b.distance, kDictionary) << at;
            ASSERT_LE(b.distance, at) << at;
            ASSERT_TRUE(std::equal(data.begin() + at, data.begin() + at + b.length,
                                   data.begin() + (at - b.distance)))
                << at;
        }
        EXPECT_GT(matched, 100u);
    }
}
