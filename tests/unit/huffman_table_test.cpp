// Canonical table building and the static-Huffman block header.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "decode/static_huffman.h"
#include "test_support.h"

namespace {

struct Tables {
    Tables() { t->fault = &fault; }
    std::unique_ptr<lzh::HuffmanTables> t = std::make_unique<lzh::HuffmanTables>();
    lzh::DecodeOutcome fault = lzh::DecodeOutcome::kOk;
};

// A static-Huffman decoder reading the given bits.
struct StaticFixture : Tables {
    explicit StaticFixture(BitWriter& w) : file(w.Finish()) {
        bits.Start(file.get(), static_cast<uint32_t>(w.Finish().size()));
        decoder.Start(lzh::kLh5);
    }
    MemoryFile file;
    lzh::ByteInput input;
    lzh::BitInput bits{input};
    lzh::StaticHuffman decoder{bits, *t};
};

// A block whose every code is the literal `literal` and every position 0,
// consuming no bits: pre-tree, characters and positions each a single code.
void SingleLiteralBlock(BitWriter& w, unsigned blockSize, unsigned literal, unsigned position = 0) {
    w.Put(blockSize, 16);
    w.Put(0, 5), w.Put(0, 5);         // pre-tree: count 0, value 0
    w.Put(0, 9), w.Put(literal, 9);   // characters: count 0, value
    w.Put(0, 4), w.Put(position, 4);  // positions (-lh4-, -lh5-): count 0, value
}

}  // namespace

TEST(MakeTable, ShortCodesFillRunsOfTheTable) {
    // Each entry: the symbol from bit 6 up, its code length below.
    Tables f;
    const uint8_t lengths[2] = {1, 1};
    ASSERT_TRUE(f.t->MakeTable(2, lengths, 8, f.t->ptTable));
    EXPECT_TRUE(std::all_of(f.t->ptTable, f.t->ptTable + 128, [](uint16_t e) { return e == (0 << 6 | 1); }));
    EXPECT_TRUE(
        std::all_of(f.t->ptTable + 128, f.t->ptTable + 256, [](uint16_t e) { return e == (1 << 6 | 1); }));
    EXPECT_EQ(lzh::DecodeOutcome::kOk, f.fault);
}

TEST(MakeTable, RefusesLengthsThatDoNotFormACode) {
    Tables incomplete;
    const uint8_t halfFull[2] = {1, 2};
    EXPECT_FALSE(incomplete.t->MakeTable(2, halfFull, 8, incomplete.t->ptTable));
    EXPECT_EQ(lzh::DecodeOutcome::kBadTableB, incomplete.fault);

    // Four 1-bit codes fill the space twice: 0 modulo 2^16, still no code.
    Tables twice;
    const uint8_t overFull[4] = {1, 1, 1, 1};
    EXPECT_FALSE(twice.t->MakeTable(4, overFull, 8, twice.t->ptTable));
    EXPECT_EQ(lzh::DecodeOutcome::kBadTableB, twice.fault);

    Tables tooLong;
    const uint8_t seventeen[3] = {1, 2, 17};
    EXPECT_FALSE(tooLong.t->MakeTable(3, seventeen, 8, tooLong.t->ptTable));
    EXPECT_EQ(lzh::DecodeOutcome::kBadTableA, tooLong.fault);
}

TEST(MakeTable, AllZeroLengthsLeaveTheTableAlone) {
    Tables f;
    std::fill(f.t->ptTable, f.t->ptTable + 256, 7);
    const uint8_t zeros[14] = {};
    EXPECT_TRUE(f.t->MakeTable(14, zeros, 8, f.t->ptTable));
    EXPECT_TRUE(std::all_of(f.t->ptTable, f.t->ptTable + 256, [](uint16_t e) { return e == 7; }));
}

TEST(MakeTable, LongCodesResolveThroughTreeNodes) {
    // Lengths 1, 2, ..., 13, 14, 14: the two 14-bit codes and the 13-bit
    // code hang below table entry 4095 through two nodes.
    Tables f;
    uint8_t lengths[15];
    for (int i = 0; i < 13; i++) lengths[i] = static_cast<uint8_t>(i + 1);
    lengths[13] = lengths[14] = 14;
    ASSERT_TRUE(f.t->MakeTable(15, lengths, 12, f.t->charTable));
    const unsigned a = f.t->charTable[4095] >> 6;  // a node: length 0
    ASSERT_GE(a, 15u);
    EXPECT_EQ(0u, f.t->charTable[4095] & 63);
    EXPECT_EQ(11u << 6 | 12u, f.t->charTable[4094]);  // 1111 1111 1110: the 12-bit code
    EXPECT_EQ(12u, f.t->leftLinks[a]);
    const unsigned b = f.t->rightLinks[a];
    ASSERT_GE(b, 15u);
    EXPECT_EQ(13u, f.t->leftLinks[b]);
    EXPECT_EQ(14u, f.t->rightLinks[b]);
    // Walking with fourteen 1 bits (the table's 12 are already used).
    EXPECT_EQ(14u, f.t->WalkTree(a, 15, 0xFFFFFFFF, 1u << 19));
    EXPECT_EQ(13u, f.t->WalkTree(a, 15, 0xFFF80000 | (0u << 18), 1u << 19));
}

TEST(MakeTable, TreeWalksAlwaysEnd) {
    // A node linked to itself (only stale tables can do that) still ends.
    Tables f;
    f.t->leftLinks[600] = f.t->rightLinks[600] = 600;
    EXPECT_EQ(0u, f.t->WalkTree(600, 510, 0xFFFFFFFF, 1u << 19));
}

TEST(MakeTable, FixedLengthsRiseAtTheListedIndices) {
    const uint8_t row[] = {1, 1, 3, 0};
    uint8_t lengths[5];
    lzh::MakeFixedLengths(lengths, 5, 2, row);
    const uint8_t expected[5] = {2, 4, 4, 5, 5};
    EXPECT_TRUE(std::equal(lengths, lengths + 5, expected));
}

TEST(StaticHuffman, PreTreeCountZeroGivesOneCodeOfNoBits) {
    BitWriter w;
    w.Put(0, 5), w.Put(4, 5);
    w.Put(0xA5, 8);
    StaticFixture f(w);
    f.decoder.ReadPtLen(19, 5, 3);
    EXPECT_TRUE(std::all_of(f.t->ptTable, f.t->ptTable + 256, [](uint16_t e) { return e == 4 << 6; }));
    EXPECT_TRUE(std::all_of(f.t->ptLengths, f.t->ptLengths + 19, [](uint8_t l) { return l == 0; }));
    EXPECT_EQ(0xA5, f.bits.GetBits(8));
}

TEST(StaticHuffman, PreTreeZeroRunAfterTheThirdLength) {
    BitWriter w;
    w.Put(6, 5);               // six lengths
    w.PutBits("010 010 010");  // 2, 2, 2
    w.Put(2, 2);               // then two zero lengths
    w.PutBits("010");          // the sixth length: 2
    w.Put(0x3C, 8);
    StaticFixture f(w);
    f.decoder.ReadPtLen(19, 5, 3);
    const uint8_t expected[6] = {2, 2, 2, 0, 0, 2};
    EXPECT_TRUE(std::equal(f.t->ptLengths, f.t->ptLengths + 6, expected));
    EXPECT_EQ(lzh::DecodeOutcome::kOk, f.fault);
    EXPECT_EQ(0x3C, f.bits.GetBits(8));
}

TEST(StaticHuffman, LongLengthFieldsAreUnary) {
    BitWriter w;
    w.Put(1, 4);
    w.PutBits("111 1110");  // 7 + 3 = 10, seven bits
    w.Put(0x5A, 8);
    StaticFixture f(w);
    f.decoder.ReadPtLen(14, 4, -1);
    EXPECT_EQ(10, f.t->ptLengths[0]);
    EXPECT_EQ(0x5A, f.bits.GetBits(8));
}

TEST(StaticHuffman, CharacterZeroRunsStopAtTheLastEntry) {
    BitWriter w;
    w.Put(3, 5);
    w.PutBits("001 010 010");  // pre-tree: symbol 0 "0", 1 "10", 2 "11"
    w.Put(0, 2);
    w.Put(510, 9);    // 510 character lengths follow
    w.PutBits("11");  // pre-tree symbol 2: a run of 20 + 9 bits
    w.Put(511, 9);    // 531 zeros, more than the 510 entries
    w.Put(0x69, 8);
    StaticFixture f(w);
    std::fill(f.t->charLengths, f.t->charLengths + 510, 5);
    f.decoder.ReadPtLen(19, 5, 3);
    f.decoder.ReadCLen();
    EXPECT_TRUE(std::all_of(f.t->charLengths, f.t->charLengths + 510, [](uint8_t l) { return l == 0; }));
    EXPECT_EQ(lzh::DecodeOutcome::kOk, f.fault);
    EXPECT_EQ(0x69, f.bits.GetBits(8));
}

TEST(StaticHuffman, BlocksAreReadWhenTheCountRunsOut) {
    BitWriter w;
    SingleLiteralBlock(w, 2, 'A');
    SingleLiteralBlock(w, 1, 'B');
    const DecodeResult r = Decode(lzh::kLh5, w.Finish(), 3);
    EXPECT_EQ((Bytes{'A', 'A', 'B'}), r.data);
}

TEST(StaticHuffman, BlockSizeZeroIsOneMatchOf257) {
    BitWriter w;
    SingleLiteralBlock(w, 1, 'Q');
    w.Put(0, 16);  // block of size 0: symbol 510, position 0 from the last tables
    const DecodeResult r = Decode(lzh::kLh5, w.Finish(), 258);
    EXPECT_EQ(Bytes(258, 'Q'), r.data);
}

TEST(StaticHuffman, PositionsBeyondTheRingWrapAround) {
    // -lh4- has a 4 KiB ring but position codes up to 8191: a match p + 1
    // bytes back reads the ring at its write position less p + 1, modulo
    // its size.  Zero bytes behind the codes let the fast loop run.
    BitWriter w;
    SingleLiteralBlock(w, 4095, 'a');
    SingleLiteralBlock(w, 1, 'b');
    SingleLiteralBlock(w, 2, 256, 13);  // matches of 3, position code 13: 4096 + 12 bits
    w.Put(0, 12);                       // p = 4096: the last byte, 'b'
    w.Put(4, 12);                       // p = 4100: five back, 'a' 'b' 'b'
    for (int i = 0; i < 32; i++) w.Put(0, 8);
    Bytes expected(4095, 'a');
    for (char c : std::string("bbbbabb")) expected.push_back(static_cast<uint8_t>(c));
    const DecodeResult r = Decode(lzh::kLh4, w.Finish(), static_cast<uint32_t>(expected.size()));
    EXPECT_EQ(expected, r.data);
    EXPECT_EQ(Crc16Of(expected), r.crc16);
}

TEST(StaticHuffman, BadCodeLengthsEndTheEntryNotTheRun) {
    BitWriter w;
    w.Put(5, 16);
    w.Put(2, 5), w.PutBits("001 010");  // pre-tree lengths 1, 2: not a full code
    w.Put(0, 9), w.Put(0, 9);
    w.Put(0, 4), w.Put(0, 4);
    const DecodeResult r = Decode(lzh::kLh5, w.Finish(), 5);
    EXPECT_EQ(lzh::DecodeOutcome::kBadTableB, r.outcome);
    EXPECT_EQ(0, r.abortState);
    EXPECT_TRUE(r.data.empty());
}
