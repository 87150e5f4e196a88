// Static-Huffman blocks written from symbol lists and read by the decoder:
// the one-symbol forms of each code, long codes, many blocks, and the bit
// count the writer plans with.
#include <gtest/gtest.h>

#include <random>

#include "encode/block_writer.h"
#include "encode_support.h"

namespace {

struct Symbols {
    std::vector<uint16_t> symbols;
    std::vector<uint16_t> positions;  // distance - 1, matches only
    void Literal(uint8_t c) {
        symbols.push_back(c);
        positions.push_back(0);
    }
    void Match(unsigned length, unsigned distance) {
        symbols.push_back(static_cast<uint16_t>(length + lzh::kMatchBias));
        positions.push_back(static_cast<uint16_t>(distance - 1));
    }
};

// What the decoder must produce: its ring starts as spaces.
Bytes Expand(const Symbols& s, uint32_t window) {
    Bytes out(window, ' ');
    for (size_t i = 0; i < s.symbols.size(); i++) {
        if (s.symbols[i] < 256) {
            out.push_back(static_cast<uint8_t>(s.symbols[i]));
            continue;
        }
        const size_t from = out.size() - s.positions[i] - 1;
        for (unsigned k = 0; k < s.symbols[i] - lzh::kMatchBias; k++) out.push_back(out[from + k]);
    }
    return Bytes(out.begin() + window, out.end());
}

struct Method {
    lzh::MethodCode code;
    unsigned positionCodes, countBits;
    uint32_t window;
};
constexpr Method kMethods[] = {
    {lzh::kLh5, 14, 4, 8192}, {lzh::kLh6, 16, 5, 32768}, {lzh::kLh7, 17, 5, 65536}};

// Writes the symbols as blocks of at most blockSize, each one with its
// character code refit to its tables (unless `plain`) and lengthened when
// asked, and checks the planned bit counts against what was written;
// returns the packed bytes.
Bytes Write(const Symbols& s, const Method& m, size_t blockSize = lzh::kMaxBlockSymbols,
            bool lengthen = false, bool plain = false) {
    static lzh::BlockWriter writer;
    writer.SetPositionCodes(m.positionCodes, m.countBits);
    std::vector<uint8_t> buffer(1 << 20);
    lzh::BitOutput out;
    out.Start(buffer.data(), buffer.size());
    Bytes packed;
    for (size_t at = 0; at < s.symbols.size(); at += blockSize) {
        const unsigned n = static_cast<unsigned>(std::min(blockSize, s.symbols.size() - at));
        const uint64_t before = out.BitCount();
        uint64_t planned = writer.Plan(&s.symbols[at], &s.positions[at], n);
        if (!plain) {
            const uint64_t fitted = writer.FitTables();
            EXPECT_LE(fitted, planned);
            planned = fitted;
        }
        if (lengthen) {
            const uint64_t longer = writer.Lengthen();
            EXPECT_EQ(planned + 3, longer);
            planned = longer;
        }
        writer.Write(out, &s.symbols[at], &s.positions[at], n);
        EXPECT_EQ(planned, out.BitCount() - before);
        packed.insert(packed.end(), out.bytes(), out.bytes() + out.size());
        out.Drain();
    }
    out.Flush();
    packed.insert(packed.end(), out.bytes(), out.bytes() + out.size());
    return packed;
}

void ExpectDecodes(const Symbols& s, const Method& m, size_t blockSize = lzh::kMaxBlockSymbols,
                   bool lengthen = false, bool plain = false) {
    const Bytes expected = Expand(s, m.window);
    const DecodeResult r = Decode(m.code, Write(s, m, blockSize, lengthen, plain),
                                  static_cast<uint32_t>(expected.size()), Crc16Of(expected));
    EXPECT_EQ(lzh::DecodeOutcome::kOk, r.outcome) << lzh::DecodeOutcomeText(r.outcome);
    EXPECT_EQ(0, r.abortState);
    EXPECT_TRUE(r.data == expected);
}

}  // namespace

// An entry that claims far more than its packed data holds (a damaged or
// hostile header) is not decoded on from the zeros behind it: the decoder
// stops soon after the data and calls the entry damaged.
TEST(BlockWriter, AStreamClaimingMoreThanItsDataStops) {
    for (const Method& m : kMethods) {
        SCOPED_TRACE(m.code);
        Symbols s;
        for (int i = 0; i < 200; i++) s.Literal(static_cast<uint8_t>('a' + i % 26));
        const Bytes expected = Expand(s, m.window);
        const DecodeResult r = Decode(m.code, Write(s, m), 1u << 30);
        EXPECT_EQ(lzh::DecodeOutcome::kPastPackedData, r.outcome);
        EXPECT_EQ(0, r.abortState);
        EXPECT_LT(r.data.size(), 1u << 20);
        // What was written out before the stop begins with the entry's own.
        EXPECT_TRUE(std::equal(r.data.begin(), r.data.begin() + std::min(r.data.size(), expected.size()),
                               expected.begin()));
    }
}

TEST(BlockWriter, OneSymbolCodes) {
    for (const Method& m : kMethods) {
        SCOPED_TRACE(m.code);
        Symbols oneLiteral;  // one character symbol: no pre-tree, codes of no bits
        for (int i = 0; i < 10; i++) oneLiteral.Literal('A');
        ExpectDecodes(oneLiteral, m);

        Symbols onePosition;  // matches all at distance 1, and no second position code
        onePosition.Literal('x');
        for (int i = 0; i < 20; i++) onePosition.Match(10 + i, 1);
        ExpectDecodes(onePosition, m);

        Symbols onePreTreeSymbol;  // character lengths 1, 1: one pre-tree symbol
        std::mt19937 random(1);
        for (int i = 0; i < 100; i++) onePreTreeSymbol.Literal(static_cast<uint8_t>(random() & 1));
        ExpectDecodes(onePreTreeSymbol, m);
    }
}

// All 510 character symbols and every position code, with skewed
// frequencies that need 16-bit codes and long runs of unused lengths.
TEST(BlockWriter, FullAlphabetsAndLongCodes) {
    for (const Method& m : kMethods) {
        SCOPED_TRACE(m.code);
        Symbols s;
        std::mt19937 random(2);
        for (unsigned c = 0; c < 256; c++) s.Literal(static_cast<uint8_t>(c));
        for (unsigned len = lzh::kMinMatch; len <= lzh::kMaxMatch; len++)
            s.Match(len, 1 + random() % (m.window - 1));
        for (unsigned j = 0; j < m.positionCodes; j++) s.Match(3, j == 0 ? 1 : (1u << (j - 1)) + 1);
        uint32_t a = 1, b = 1;
        for (int k = 0; k < 24; k++) {  // Fibonacci counts of a few literals
            for (uint32_t i = 0; i < a && s.symbols.size() < 60000; i++) s.Literal(static_cast<uint8_t>(k));
            const uint32_t next = a + b;
            a = b;
            b = next;
        }
        ExpectDecodes(s, m);
    }
}

TEST(BlockWriter, ManyBlocksAndTheLargestBlock) {
    Symbols s;
    std::mt19937 random(4);
    for (int i = 0; i < 3 * 65535 + 17; i++) {
        if (random() % 3 == 0 && i > 300)
            s.Match(3 + random() % 30, 1 + random() % 300);
        else
            s.Literal(static_cast<uint8_t>('a' + random() % 20));
    }
    ExpectDecodes(s, kMethods[2]);
    ExpectDecodes(s, kMethods[0], 1000);
    ExpectDecodes(s, kMethods[2], 1000, false, true);  // the codes as Plan built them
}

// Text-like blocks with many rare symbols, whose character codes the
// refit changes, decode the same and come out smaller.
TEST(BlockWriter, CodesRefitToTheirTablesDecodeTheSame) {
    for (const Method& m : kMethods) {
        SCOPED_TRACE(m.code);
        Symbols s;
        std::mt19937 random(7);
        for (int i = 0; i < 20000; i++) {
            if (random() % 5 == 0 && i > 100)
                s.Match(3 + random() % (random() % 8 == 0 ? 200 : 12), 1 + random() % 4000);
            else
                s.Literal(static_cast<uint8_t>(random() % 3 == 0 ? random() % 256 : 'a' + random() % 26));
        }
        EXPECT_LT(Write(s, m, 4000).size(), Write(s, m, 4000, false, true).size());
        ExpectDecodes(s, m, 4000);
    }
}

// A block lengthened by one more zero length at the end of its pre-tree
// list decodes the same.
TEST(BlockWriter, LengthenedBlocksDecodeTheSame) {
    for (const Method& m : kMethods) {
        SCOPED_TRACE(m.code);
        Symbols text;
        std::mt19937 random(6);
        for (int i = 0; i < 3000; i++) {
            if (random() % 4 == 0 && i > 50)
                text.Match(3 + random() % 20, 1 + random() % 50);
            else
                text.Literal(static_cast<uint8_t>('a' + random() % 26));
        }
        ExpectDecodes(text, m, 1000, true);

        Symbols few;
        few.Literal(0);
        few.Literal(1);
        few.Match(5, 1);
        few.Match(5, 2);
        ExpectDecodes(few, m, lzh::kMaxBlockSymbols, true);
    }
}
