// The PE checksum against a second, independent computation (32-bit words
// with end-around carry, the field's word skipped, as pefile sums), fed in
// pieces of any size and order, and over the real module, whose linker
// wrote the checksum of its image.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "base/byte_order.h"
#include "pe/checksum.h"
#include "pe/image.h"
#include "test_images.h"

namespace {

using pe_test::Bytes;

Bytes Random(size_t size, std::mt19937& random) {
    Bytes b(size);
    for (uint8_t& byte : b) byte = static_cast<uint8_t>(random());
    return b;
}

TEST(Checksum, AgreesWithTheWordSumOverAnyFile) {
    std::mt19937 random(7);
    for (const size_t size : {0, 1, 2, 3, 5, 64, 67, 216, 221, 4096, 65537, 300001}) {
        for (const size_t field : {0, 4, 216}) {
            Bytes data = Random(size, random);
            EXPECT_EQ(pe::FileChecksum(data.data(), data.size(), field), pe_test::DwordChecksum(data, field))
                << size << " " << field;
            std::fill(data.begin(), data.end(), 0xFF);  // a sum that carries on every word
            EXPECT_EQ(pe::FileChecksum(data.data(), data.size(), field), pe_test::DwordChecksum(data, field))
                << size << " " << field;
        }
    }
}

TEST(Checksum, PiecesInAnyOrderAndSize) {
    std::mt19937 random(11);
    const Bytes data = Random(10001, random);
    const uint32_t whole = pe::FileChecksum(data.data(), data.size(), 216);
    for (int round = 0; round < 20; round++) {
        // Cut points anywhere, the field's bytes included; pieces added in
        // a shuffled order.
        std::vector<size_t> cuts{0, data.size(), 217, 218};
        for (int i = 0; i < 12; i++) cuts.push_back(random() % data.size());
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        std::vector<std::pair<size_t, size_t>> pieces;
        for (size_t i = 0; i + 1 < cuts.size(); i++) pieces.emplace_back(cuts[i], cuts[i + 1]);
        std::shuffle(pieces.begin(), pieces.end(), random);
        pe::Checksum sum(216);
        for (const auto& [from, to] : pieces) sum.Add(&data[from], to - from, from);
        EXPECT_EQ(sum.Finish(data.size()), whole) << round;
    }
}

TEST(Checksum, TheFieldCountsAsZeroAndUnaddedBytesToo) {
    std::mt19937 random(3);
    Bytes data = Random(999, random);
    const uint32_t before = pe::FileChecksum(data.data(), data.size(), 216);
    for (size_t i = 216; i < 220; i++) data[i] ^= 0x5A;
    EXPECT_EQ(pe::FileChecksum(data.data(), data.size(), 216), before);
    data[220] ^= 1;
    EXPECT_NE(pe::FileChecksum(data.data(), data.size(), 216), before);

    // Zeros behind the data (the writer's padding) need not be added.
    pe::Checksum sum(216);
    sum.Add(data.data(), data.size(), 0);
    Bytes padded = data;
    padded.resize(1003, 0);
    EXPECT_EQ(sum.Finish(padded.size()), pe::FileChecksum(padded.data(), padded.size(), 216));
    EXPECT_EQ(sum.Finish(padded.size()), pe_test::DwordChecksum(padded, 216));
}

TEST(Checksum, TheLinkersChecksumOfTheModule) {
    const Bytes module = pe_test::RealModule();
    if (module.empty()) GTEST_SKIP() << "SFX_MODULE names no built module";
    pe::Image image;
    std::string error;
    ASSERT_TRUE(pe::ReadImage(module.data(), module.size(), image, error)) << error;
    ASSERT_NE(image.checksum, 0u);
    EXPECT_EQ(pe::FileChecksum(module.data(), module.size(), image.ChecksumOffset()), image.checksum);
}

}  // namespace
