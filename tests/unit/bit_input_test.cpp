// CRC-16 and the packed-data bit input.
#include <gtest/gtest.h>

#include <memory>

#include "archive/crc16.h"
#include "decode/bit_input.h"
#include "test_support.h"

TEST(Crc16, CheckValueAndIncrementalUpdate) {
    const Bytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(0xBB3D, Crc16Of(digits));
    uint16_t crc = lzh::UpdateCrc16(0, digits.data(), 4);
    crc = lzh::UpdateCrc16(crc, digits.data() + 4, 5);
    EXPECT_EQ(0xBB3D, crc);
    EXPECT_EQ(0x1234, lzh::UpdateCrc16(0x1234, digits.data(), 0));
}

TEST(Crc16, EveryUpdateMatchesTheBitwiseDefinition) {
    // Every length and alignment around the 16-byte blocks of the fast
    // updates, and across their four-block folds.
    auto fast = std::make_unique<lzh::FastCrc16>();
    fast->Init();
    Bytes data(300);
    for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<uint8_t>(i * 167 + 13);
    for (size_t start = 0; start < 17; start++)
        for (size_t length = 0; length + start <= data.size(); length += 7) {
            unsigned expected = 0x5555;
            for (size_t i = start; i < start + length; i++) {
                expected ^= data[i];
                for (int bit = 0; bit < 8; bit++)
                    expected = (expected & 1) ? (expected >> 1) ^ 0xA001u : expected >> 1;
            }
            ASSERT_EQ(expected, lzh::UpdateCrc16(0x5555, data.data() + start, length))
                << start << " " << length;
            ASSERT_EQ(expected, fast->Update(0x5555, data.data() + start, length)) << start << " " << length;
            ASSERT_EQ(expected, fast->UpdateSliced(0x5555, data.data() + start, length))
                << start << " " << length;
        }
}

struct BitInputFixture {
    explicit BitInputFixture(const Bytes& bytes, uint32_t packedSize) : file(bytes) {
        bits.Start(file.get(), packedSize);
    }
    MemoryFile file;
    lzh::ByteInput input;
    lzh::BitInput bits{input};
};

TEST(BitInput, WindowHoldsTheNextBitsMostSignificantFirst) {
    BitInputFixture f({0xAB, 0xCD, 0xEF}, 3);
    EXPECT_EQ(0xABCD, f.bits.Peek16());
    EXPECT_EQ(0xA, f.bits.GetBits(4));
    EXPECT_EQ(0xBCDE, f.bits.Peek16());
    EXPECT_EQ(0, f.bits.GetBits(0));
    EXPECT_EQ(0xBCDE, f.bits.Peek16());
    f.bits.FillBits(3);
    EXPECT_EQ((0xBCDEF0 >> 5) & 0xFFFF, f.bits.Peek16());
}

TEST(BitInput, SixteenBitReadsAreBigEndianWords) {
    BitInputFixture f({0x12, 0x34, 0x56, 0x78, 0x9A}, 5);
    EXPECT_EQ(0x1234, f.bits.GetBits(16));
    EXPECT_EQ(0x5678, f.bits.GetBits(16));
    EXPECT_EQ(0x9A00, f.bits.Peek16());
}

TEST(BitInput, ZeroBitsOnceThePackedSizeIsUsedUp) {
    // The byte after the entry's packed data must never be read.
    BitInputFixture f({0x80, 0xFF, 0xFF}, 1);
    EXPECT_EQ(0x8000, f.bits.Peek16());
    EXPECT_EQ(1, f.bits.GetBits(1));
    for (int i = 0; i < 6; i++) EXPECT_EQ(0, f.bits.GetBits(16));
    EXPECT_EQ(0u, f.input.remaining());
    EXPECT_EQ(1, std::ftell(f.file.get()));
}

TEST(BitInput, NothingIsReadForAnEmptyEntry) {
    BitInputFixture f({0xFF, 0xFF}, 0);
    EXPECT_EQ(0, f.bits.Peek16());
    EXPECT_EQ(0, std::ftell(f.file.get()));
}

TEST(BitInput, EndOfFileReadsAsOneBits) {
    // The entry claims four bytes but the file ends after one.
    BitInputFixture f({0x00}, 4);
    EXPECT_EQ(0x00FF, f.bits.GetBits(16));
    EXPECT_EQ(0xFFFF, f.bits.GetBits(16));
    EXPECT_EQ(0, f.bits.GetBits(16));
}

TEST(BitInput, DropsSeventeenBitsAtOnce) {
    // A corrupt pre-tree length can ask for one bit more than the window.
    BitInputFixture f({0xFF, 0xFF, 0x80, 0x00}, 4);
    f.bits.FillBits(17);
    EXPECT_EQ(0, f.bits.Peek16());
}

TEST(ByteInput, UnlimitedReadsRunToTheEndOfTheFile) {
    MemoryFile file({1, 2, 3});
    lzh::ByteInput input;
    input.Start(file.get(), 1, false);
    EXPECT_EQ(1, input.Next());
    EXPECT_EQ(2, input.Next());
    EXPECT_EQ(3, input.Next());
    EXPECT_EQ(0xFF, input.Next());
}
