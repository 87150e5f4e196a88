#include "package/crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

// The definition bit by bit: reflected, polynomial 0xEDB88320, register
// starting at all ones, complemented at the end.
uint32_t BitwiseCrc32(const uint8_t* bytes, size_t count) {
    uint32_t r = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; i++) {
        r ^= bytes[i];
        for (int bit = 0; bit < 8; bit++) r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
    }
    return ~r;
}

std::vector<uint8_t> RandomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

TEST(Crc32, CheckValueOfTheStandard) {
    const char* text = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(text), std::strlen(text)), 0xCBF43926u);
}

TEST(Crc32, EmptyInputGivesZero) {
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
    EXPECT_EQ(UpdateCrc32(kCrc32Start, nullptr, 0), kCrc32Start);
}

TEST(Crc32, TableMatchesTheBitwiseDefinition) {
    // Every table entry is reached by some single byte.
    for (unsigned b = 0; b < 256; b++) {
        const uint8_t byte = static_cast<uint8_t>(b);
        EXPECT_EQ(Crc32(&byte, 1), BitwiseCrc32(&byte, 1)) << "byte " << b;
    }
    for (unsigned seed = 1; seed <= 8; seed++) {
        const std::vector<uint8_t> bytes = RandomBytes(1000 + seed * 37, seed);
        EXPECT_EQ(Crc32(bytes.data(), bytes.size()), BitwiseCrc32(bytes.data(), bytes.size()));
    }
}

TEST(Crc32, TableBuiltAtRunTimeGivesTheSameValues) {
    auto table = std::make_unique<Crc32Table>();
    MakeCrc32Table(*table);
    const char* text = "123456789";
    EXPECT_EQ(FinishCrc32(UpdateCrc32(*table, kCrc32Start, reinterpret_cast<const uint8_t*>(text), 9)),
              0xCBF43926u);
    for (unsigned b = 0; b < 256; b++) {
        const uint8_t byte = static_cast<uint8_t>(b);
        EXPECT_EQ(FinishCrc32(UpdateCrc32(*table, kCrc32Start, &byte, 1)), BitwiseCrc32(&byte, 1))
            << "byte " << b;
    }
    const std::vector<uint8_t> bytes = RandomBytes(70000, 3);
    EXPECT_EQ(FinishCrc32(UpdateCrc32(*table, kCrc32Start, bytes.data(), bytes.size())),
              BitwiseCrc32(bytes.data(), bytes.size()));
}

TEST(Crc32, EveryLengthAndStartMatchTheBitwiseDefinition) {
    // Eight bytes are folded per step: whole steps, a short last step, and
    // starts at every offset from an aligned address, with both tables.
    auto table = std::make_unique<Crc32Table>();
    MakeCrc32Table(*table);
    const std::vector<uint8_t> bytes = RandomBytes(64, 11);
    for (size_t start = 0; start < 8; start++) {
        for (size_t count = 0; start + count <= 48; count++) {
            const uint8_t* from = bytes.data() + start;
            const uint32_t expected = BitwiseCrc32(from, count);
            EXPECT_EQ(Crc32(from, count), expected) << "start " << start << " count " << count;
            EXPECT_EQ(FinishCrc32(UpdateCrc32(*table, kCrc32Start, from, count)), expected)
                << "start " << start << " count " << count;
        }
    }
}

TEST(Crc32, PiecewiseUpdatesEqualOneUpdate) {
    const std::vector<uint8_t> bytes = RandomBytes(300, 42);
    const uint32_t whole = Crc32(bytes.data(), bytes.size());
    for (size_t split = 0; split <= bytes.size(); split += 7) {
        uint32_t r = UpdateCrc32(kCrc32Start, bytes.data(), split);
        r = UpdateCrc32(r, bytes.data() + split, bytes.size() - split);
        EXPECT_EQ(FinishCrc32(r), whole) << "split at " << split;
    }
}

TEST(Crc32, OneChangedBitChangesTheValue) {
    std::vector<uint8_t> bytes = RandomBytes(2048, 7);
    const uint32_t before = Crc32(bytes.data(), bytes.size());
    for (size_t at : {size_t{0}, size_t{1023}, size_t{2047}}) {
        bytes[at] ^= 0x10;
        EXPECT_NE(Crc32(bytes.data(), bytes.size()), before) << "byte " << at;
        bytes[at] ^= 0x10;
    }
}

}  // namespace
