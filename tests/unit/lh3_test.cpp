// -lh3- block heads: single symbols, fixed position lengths, 65536-symbol blocks.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// A block head whose characters are all `symbol` (no code bits) and whose
// positions use the fixed lengths.
void SingleSymbolHead(BitWriter& w, unsigned count, unsigned symbol) {
    w.Put(count, 16);
    w.PutBits("1 0000  1 0000  1 0000");  // three lengths of 1
    w.Put(symbol, 9);
    w.Put(0, 1);  // fixed position lengths
}

}  // namespace

TEST(Lh3, SingleSymbolBlocksTakeNoCodeBits) {
    BitWriter w;
    SingleSymbolHead(w, 5, 'Z');
    const DecodeResult r = Decode(lzh::kLh3, w.Finish(), 5, Crc16Of(Bytes(5, 'Z')));
    EXPECT_EQ(Bytes(5, 'Z'), r.data);
    EXPECT_EQ(lzh::DecodeOutcome::kOk, r.outcome);
}

TEST(Lh3, CountZeroMeans65536Symbols) {
    BitWriter w;
    SingleSymbolHead(w, 0, 'Z');
    SingleSymbolHead(w, 1, 'Y');
    const DecodeResult r = Decode(lzh::kLh3, w.Finish(), 65537);
    ASSERT_EQ(65537u, r.data.size());
    EXPECT_EQ(Bytes(65536, 'Z'), Bytes(r.data.begin(), r.data.end() - 1));
    EXPECT_EQ('Y', r.data.back());
}

TEST(Lh3, FixedPositionCodes) {
    // Literal 'x' then two matches of length 3 (symbol 256): distance code 0
    // ("00", 6 low bits 0) repeats the 'x'; code 127 with low bits 63 is the
    // farthest distance, 8191, which reaches the ring's initial spaces.
    BitWriter w;
    w.Put(3, 16);
    // Character lengths: 'x' and 256 get 1-bit codes, all others none.
    for (unsigned i = 0; i < lzh::Lh3Decoder::kSymbols; i++) {
        if (i == 'x' || i == 256)
            w.PutBits("1 0000");
        else
            w.Put(0, 1);
    }
    w.Put(0, 1);     // fixed position lengths
    w.PutBits("0");  // 'x'
    w.PutBits("1 00 000000");
    w.PutBits("1 111111111 111111");
    const Bytes expected{'x', 'x', 'x', 'x', ' ', ' ', ' '};
    const DecodeResult r = Decode(lzh::kLh3, w.Finish(), 7, Crc16Of(expected));
    EXPECT_EQ(expected, r.data);
    EXPECT_EQ(lzh::DecodeOutcome::kOk, r.outcome);
}

TEST(Lh3, EscapeAddsEightBits) {
    // The escape symbol 285 plus 255 is a match of 540 - 253 = 287 bytes.
    BitWriter w;
    w.Put(2, 16);
    for (unsigned i = 0; i < lzh::Lh3Decoder::kSymbols; i++) {
        if (i == 'e' || i == 285)
            w.PutBits("1 0000");
        else
            w.Put(0, 1);
    }
    w.Put(0, 1);
    w.PutBits("0");                      // 'e'
    w.PutBits("1 11111111  00 000000");  // escape + 255, distance 0
    const DecodeResult r = Decode(lzh::kLh3, w.Finish(), 288);
    EXPECT_EQ(Bytes(288, 'e'), r.data);
}
