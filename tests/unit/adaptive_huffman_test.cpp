// -lh1- and -lh2-: the adaptive trees right after set-up, the escape and the
// position code.
#include <gtest/gtest.h>

#include <memory>

#include "decode/adaptive_huffman.h"
#include "test_support.h"

namespace {

struct AdaptiveFixture {
    AdaptiveFixture(lzh::MethodCode code, const char* bits) {
        BitWriter w;
        w.PutBits(bits);
        w.Put(0, 32);
        const Bytes packed = w.Finish();
        file = std::make_unique<MemoryFile>(packed);
        input.Start(file->get(), static_cast<uint32_t>(packed.size()), true);
        this->bits.Start(file->get(), static_cast<uint32_t>(packed.size()));
        decoder->Start(code);
    }
    std::unique_ptr<MemoryFile> file;
    lzh::HuffmanTables tables{};
    lzh::ByteInput input;
    lzh::BitInput bits{input};
    std::unique_ptr<lzh::AdaptiveHuffman> decoder = std::make_unique<lzh::AdaptiveHuffman>(bits, tables);
};

uint16_t FirstChar(lzh::MethodCode code, const char* bits) {
    AdaptiveFixture f(code, bits);
    return f.decoder->DecodeChar();
}

}  // namespace

TEST(AdaptiveHuffman, Lh1StartsWithNineAndEightBitCodes) {
    EXPECT_EQ(0, FirstChar(lzh::kLh1, "110001100"));
    EXPECT_EQ(116, FirstChar(lzh::kLh1, "00000000"));
    EXPECT_EQ(313, FirstChar(lzh::kLh1, "11000101"));
}

TEST(AdaptiveHuffman, Lh2StartsWithNineAndEightBitCodesAndEscapes) {
    EXPECT_EQ(0, FirstChar(lzh::kLh2, "111000100"));
    EXPECT_EQ(285 + 255, FirstChar(lzh::kLh2, "11100001 11111111"));
    EXPECT_EQ(285 + 2, FirstChar(lzh::kLh2, "11100001 00000010"));
}

TEST(AdaptiveHuffman, Lh2PositionIsRawBitsWhileTheTreeIsOneLeaf) {
    AdaptiveFixture f(lzh::kLh2, "101010 110011");
    EXPECT_EQ(42, f.decoder->DecodePosition(10));
    EXPECT_EQ(51, f.decoder->DecodePosition(64));  // 64 bytes do not exceed the first threshold
}

TEST(AdaptiveHuffman, Lh2PositionTreeGrowsWithTheOutput) {
    // Past 64 bytes the tree has two leaves and every position costs a bit.
    AdaptiveFixture f(lzh::kLh2, "0 000000  1 000011  0 000101");
    // The new leaf for code 1 is the 0-child; once it has been used it
    // outweighs code 0 and moves to the 1-child.
    EXPECT_EQ(64 + 0, f.decoder->DecodePosition(65));
    EXPECT_EQ(64 + 3, f.decoder->DecodePosition(66));
    EXPECT_EQ(0 + 5, f.decoder->DecodePosition(67));
}

TEST(AdaptiveHuffman, Lh1PositionsUseTheFixedCode) {
    // Code 0 is "000", code 1 "0010", code 63 "11111111"; then 6 raw bits.
    AdaptiveFixture f(lzh::kLh1, "000 000101  0010 000000  11111111 111111");
    EXPECT_EQ(5, f.decoder->DecodePosition(0));
    EXPECT_EQ(64, f.decoder->DecodePosition(0));
    EXPECT_EQ(4095, f.decoder->DecodePosition(0));
}
