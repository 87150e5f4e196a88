#include "decode/static_huffman.h"

#include <cstring>

#include "decode/match_copy.h"

namespace lzh {

void StaticHuffman::Start(MethodCode code) {
    positionCodeCount_ = kMethodTable[code].positionCodes;
    positionLengthBits_ = kMethodTable[code].positionCountBits;
    blockSize_ = 0;
}

void StaticHuffman::ReadBlockHeader() {
    ReadPtLen(kPreTreeSymbols, kPreTreeCountBits, static_cast<int>(kPreTreeSpecial));
    ReadCLen();
    ReadPtLen(positionCodeCount_, positionLengthBits_, -1);
}

uint8_t* StaticHuffman::DecodeFast(uint8_t* out, uint8_t* const limit, const uint32_t mask) {
    // Only codes that the first-level tables resolve: a character code of
    // at most 12 bits, a position code of at most 8 and its up to 15 extra
    // bits.  A longer code (a tree node in a table) ends the loop before
    // anything of its symbol is taken; the frame decodes that symbol.
    constexpr unsigned kCharBits = HuffmanTables::kCharTableBits;
    constexpr unsigned kPtBits = HuffmanTables::kPtTableBits;
    constexpr unsigned kExtraBits = 15;  // position code 16 (-lh7-)
    // A refill leaves at least kFastBits (56, or 24 in a 32-bit
    // accumulator): enough for a literal and the next character look-up,
    // or for a match's two codes; with 64 bits for the extra bits as well.
    static_assert(BitInput::kFastBits >= kCharBits + kPtBits);
    static_assert(BitInput::kFastBits >= 2 * kCharBits);
    constexpr bool kRefillForExtraBits = BitInput::kFastBits < kCharBits + kPtBits + kExtraBits;

    BitInput::Fast in;
    if (blockSize_ == 0 || out >= limit || !bits_.BeginFast(in)) return out;
    unsigned left = blockSize_;
    in.Refill();
    const uint16_t* const charTable = t_.charTable;
    const uint16_t* const ptTable = t_.ptTable;
    const unsigned positionCodes = positionCodeCount_;
    unsigned entry = charTable[in.Peek(kCharBits)];
    while (out < limit && left != 0 && in.CanRefill()) {
        const unsigned s = HuffmanTables::SymbolOf(entry);
        if (s >= kCharSymbols) break;
        const unsigned charLength = HuffmanTables::LengthOf(entry);
        if (s < 256) {
            in.Drop(charLength);
            left--;
            *out++ = static_cast<uint8_t>(s);
            entry = charTable[in.Peek(kCharBits)];  // the refill leaves these bits alone
            in.Refill();
            continue;
        }
        const unsigned position = ptTable[in.Peek(charLength + kPtBits) & ((1u << kPtBits) - 1)];
        const unsigned j = HuffmanTables::SymbolOf(position);
        if (j >= positionCodes) break;
        in.Drop(charLength + HuffmanTables::LengthOf(position));
        left--;
        if constexpr (kRefillForExtraBits) in.Refill();
        const unsigned p = j == 0 ? 0 : (1u << (j - 1)) + in.Take(j - 1);
        CopyMatch(out, (p & mask) + 1, s - kMatchBias);
        out += s - kMatchBias;
        if constexpr (kRefillForExtraBits) {
            in.Refill();
            entry = charTable[in.Peek(kCharBits)];
        } else {
            entry = charTable[in.Peek(kCharBits)];  // 56 bits less 35 leave enough
            in.Refill();
        }
    }
    blockSize_ = static_cast<uint16_t>(left);
    bits_.EndFast(in);
    return out;
}

void StaticHuffman::ReadPtLen(unsigned nn, unsigned nbit, int special) {
    const unsigned n = bits_.GetBits(nbit);
    if (n == 0) {
        // A single code that takes no bits.
        const uint16_t v = bits_.GetBits(nbit);
        std::memset(t_.ptLengths, 0, nn);
        for (uint16_t& e : t_.ptTable) e = HuffmanTables::Entry(v, 0);
        return;
    }
    const unsigned limit = n < HuffmanTables::kPtLengths ? n : HuffmanTables::kPtLengths;
    unsigned i = 0;
    while (i < limit) {
        // Three bits; 7 continues in unary: 111 then one more per 1 bit up to a 0.
        const uint16_t window = bits_.Peek16();
        unsigned len = window >> 13;
        if (len == 7)
            for (unsigned m = 1u << 12; m != 0 && (window & m); m >>= 1) len++;
        bits_.FillBits(len < 7 ? 3 : len - 3);
        t_.ptLengths[i++] = static_cast<uint8_t>(len);
        if (static_cast<int>(i) == special) {
            unsigned zeros = bits_.GetBits(2);
            while (zeros-- > 0 && i < HuffmanTables::kPtLengths) t_.ptLengths[i++] = 0;
        }
    }
    while (i < nn) t_.ptLengths[i++] = 0;
    t_.MakeTable(nn, t_.ptLengths, HuffmanTables::kPtTableBits, t_.ptTable);
}

void StaticHuffman::ReadCLen() {
    constexpr unsigned nc = kCharSymbols;
    const unsigned n = bits_.GetBits(kCharCountBits);
    if (n == 0) {
        const uint16_t v = bits_.GetBits(kCharCountBits);
        std::memset(t_.charLengths, 0, nc);
        for (uint16_t& e : t_.charTable) e = HuffmanTables::Entry(v, 0);
        return;
    }
    const unsigned limit = n < nc ? n : nc;
    unsigned i = 0;
    while (i < limit) {
        const uint16_t window = bits_.Peek16();
        unsigned s = HuffmanTables::SymbolOf(t_.ptTable[window >> 8]);
        if (s >= kPreTreeSymbols) s = t_.WalkTree(s, kPreTreeSymbols, window, 0x80);
        bits_.FillBits(t_.ptLengths[s]);
        if (s > 2) {
            t_.charLengths[i++] = static_cast<uint8_t>(s - 2);
        } else {
            // Pre-tree symbols 0..2 code runs of zero lengths.
            unsigned run = s == 0 ? 1 : s == 1 ? bits_.GetBits(4) + 3u : bits_.GetBits(9) + 20u;
            while (run-- > 0 && i < nc) t_.charLengths[i++] = 0;
        }
    }
    while (i < nc) t_.charLengths[i++] = 0;
    t_.MakeTable(nc, t_.charLengths, HuffmanTables::kCharTableBits, t_.charTable);
}

}  // namespace lzh
