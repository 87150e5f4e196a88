// Length-limited code lengths, checked against an unlimited Huffman code
// (built directly when it fits the limit, by package-merge otherwise),
// and their refit to a cost per length.
// (Canonical codes are checked by decoding blocks: block_writer_test.)
#include <gtest/gtest.h>

#include <algorithm>
#include <queue>
#include <random>
#include <vector>

#include "encode/huffman_code.h"

namespace {

// Total bits of an unlimited Huffman code (sum of the merged weights).
uint64_t HuffmanCost(const std::vector<uint32_t>& frequencies) {
    std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> q;
    for (const uint32_t f : frequencies)
        if (f != 0) q.push(f);
    uint64_t cost = 0;
    while (q.size() > 1) {
        const uint64_t a = q.top();
        q.pop();
        const uint64_t b = q.top();
        q.pop();
        cost += a + b;
        q.push(a + b);
    }
    return cost;
}

struct Built {
    std::vector<uint8_t> lengths;
    unsigned used;
    uint64_t cost = 0;
    uint64_t kraft = 0;  // sum of 2^(16 - length)
    unsigned longest = 0;
};

Built Build(const std::vector<uint32_t>& frequencies, unsigned limit) {
    static lzh::CodeLengthWork work;
    Built b;
    b.lengths.resize(frequencies.size());
    b.used = lzh::BuildCodeLengths(frequencies.data(), static_cast<unsigned>(frequencies.size()), limit,
                                   b.lengths.data(), work);
    for (size_t s = 0; s < frequencies.size(); s++) {
        if (b.lengths[s] == 0) continue;
        b.cost += uint64_t{frequencies[s]} * b.lengths[s];
        b.kraft += uint64_t{1} << (16 - b.lengths[s]);
        b.longest = std::max<unsigned>(b.longest, b.lengths[s]);
    }
    return b;
}

}  // namespace

TEST(CodeLengths, OptimalWhenTheLimitDoesNotBind) {
    std::mt19937 random(3);
    for (int round = 0; round < 200; round++) {
        std::vector<uint32_t> f(2 + random() % 509);
        for (uint32_t& x : f) x = random() % 3 == 0 ? 0 : random() % 1000 + 1;
        f[random() % f.size()] = 7;
        f[random() % f.size()] = 9;
        const Built b = Build(f, 16);
        ASSERT_EQ(65536u, b.kraft) << round;  // a complete code: the decoders refuse anything else
        if (b.longest < 16) {
            EXPECT_EQ(HuffmanCost(f), b.cost) << round;
        }
    }
}

TEST(CodeLengths, LimitHeldForSkewedFrequencies) {
    // Fibonacci frequencies make an unlimited code 29 levels deep.
    std::vector<uint32_t> f(30);
    f[0] = f[1] = 1;
    for (size_t i = 2; i < f.size(); i++) f[i] = f[i - 1] + f[i - 2];
    for (const unsigned limit : {5u, 8u, 16u}) {
        const Built b = Build(f, limit);
        EXPECT_EQ(limit, b.longest);
        EXPECT_EQ(65536u, b.kraft);
        EXPECT_GE(b.cost, HuffmanCost(f));
    }
}

TEST(CodeLengths, HuffmanCodeJustAsDeepAsTheLimitIsKept) {
    // 17 Fibonacci frequencies: Huffman's code is 16 levels deep, which a
    // limit of 16 allows and one of 15 does not.
    std::vector<uint32_t> f(17);
    f[0] = f[1] = 1;
    for (size_t i = 2; i < f.size(); i++) f[i] = f[i - 1] + f[i - 2];
    const Built atLimit = Build(f, 16);
    EXPECT_EQ(16u, atLimit.longest);
    EXPECT_EQ(HuffmanCost(f), atLimit.cost);
    const Built below = Build(f, 15);
    EXPECT_EQ(15u, below.longest);
    EXPECT_EQ(65536u, below.kraft);
    EXPECT_GT(below.cost, HuffmanCost(f));
}

// Bits of the symbols plus the cost of each symbol's length.
uint64_t FittedCost(const std::vector<uint32_t>& f, const std::vector<uint8_t>& lengths, const uint32_t* cost) {
    uint64_t bits = 0;
    for (size_t s = 0; s < f.size(); s++)
        if (lengths[s] != 0) bits += uint64_t{f[s]} * lengths[s] + cost[lengths[s]];
    return bits;
}

TEST(CodeLengths, FitToLengthCostsFindsTheCheaperShape) {
    // Four equal symbols: 2, 2, 2, 2 is the Huffman code, but with length
    // 2 dear, 1, 2, 3, 3 is the cheapest complete code.
    const std::vector<uint32_t> f = {10, 10, 10, 10};
    uint32_t cost[17] = {};
    cost[2] = 100;
    Built b = Build(f, 16);
    static lzh::CodeLengthWork work;
    static lzh::FitOrder order;
    lzh::OrderForFit(f.data(), 4, order, work);
    ASSERT_TRUE(lzh::FitCodeLengths(order, 16, cost, b.lengths.data()));
    std::vector<uint8_t> sorted = b.lengths;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 3}), sorted);
    // With length 2 as cheap as the others again, back to the Huffman code.
    cost[2] = 0;
    ASSERT_TRUE(lzh::FitCodeLengths(order, 16, cost, b.lengths.data()));
    EXPECT_EQ((std::vector<uint8_t>{2, 2, 2, 2}), b.lengths);
    EXPECT_FALSE(lzh::FitCodeLengths(order, 16, cost, b.lengths.data()));
}

TEST(CodeLengths, FittedCodesStayCompleteAndNeverCostMore) {
    std::mt19937 random(5);
    static lzh::CodeLengthWork work;
    static lzh::FitOrder order;
    int gained = 0;
    for (int round = 0; round < 200; round++) {
        std::vector<uint32_t> f(3 + random() % 508);
        for (uint32_t& x : f) x = random() % 3 == 0 ? 0 : (random() % 4 == 0 ? random() % 5000 : random() % 4) + 1;
        f[0] = f[1] = f[2] = 1;
        const unsigned limit = round % 2 ? 16 : 12;
        Built b = Build(f, limit);
        uint32_t cost[17];
        for (uint32_t& c : cost) c = 2 + random() % 7;
        const uint64_t before = FittedCost(f, b.lengths, cost);
        const std::vector<uint8_t> start = b.lengths;
        lzh::OrderForFit(f.data(), static_cast<unsigned>(f.size()), order, work);
        const bool changed = lzh::FitCodeLengths(order, limit, cost, b.lengths.data());
        EXPECT_EQ(changed, start != b.lengths) << round;
        uint64_t kraft = 0;
        for (size_t s = 0; s < f.size(); s++) {
            ASSERT_EQ(f[s] != 0, b.lengths[s] != 0) << round;
            ASSERT_LE(b.lengths[s], limit) << round;
            if (b.lengths[s] != 0) kraft += uint64_t{1} << (16 - b.lengths[s]);
        }
        ASSERT_EQ(65536u, kraft) << round;
        const uint64_t after = FittedCost(f, b.lengths, cost);
        EXPECT_LE(after, before) << round;
        gained += after < before;
    }
    EXPECT_GT(gained, 50);
}
