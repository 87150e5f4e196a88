#include "decode/static_huffman.h"

#include <cstring>

#include "decode/match_copy.h"

namespace lzh {
namespace {

constexpr unsigned kPreTreeSymbols = 19;
constexpr unsigned kPreTreeCountBits = 5;
constexpr int kPreTreeSpecial = 3;
constexpr unsigned kCharCountBits = 9;

}  // namespace

void StaticHuffman::Start(MethodCode code) {
    switch (code) {
    case kLh6: positionCodeCount_ = 16; positionLengthBits_ = 5; break;
    case kLh7: positionCodeCount_ = 17; positionLengthBits_ = 5; break;
    default: positionCodeCount_ = 14; positionLengthBits_ = 4; break;  // -lh4-, -lh5-
    }
    blockSize_ = 0;
    // An entry may open with an empty block, which reads no tables: its
    // match then uses the tables as earlier entries left them.
    MakeFastTable(t_.charTable, 1u << HuffmanTables::kCharTableBits, t_.charLengths,
                  HuffmanTables::kCharSymbols, charFast_);
    MakeFastTable(t_.ptTable, 1u << HuffmanTables::kPtTableBits, t_.ptLengths,
                  positionCodeCount_, positionFast_);
}

void StaticHuffman::ReadBlockHeader() {
    ReadPtLen(kPreTreeSymbols, kPreTreeCountBits, kPreTreeSpecial);
    ReadCLen();
    ReadPtLen(positionCodeCount_, positionLengthBits_, -1);
    MakeFastTable(t_.charTable, 1u << HuffmanTables::kCharTableBits, t_.charLengths,
                  HuffmanTables::kCharSymbols, charFast_);
    MakeFastTable(t_.ptTable, 1u << HuffmanTables::kPtTableBits, t_.ptLengths,
                  positionCodeCount_, positionFast_);
}

void StaticHuffman::MakeFastTable(const uint16_t* table, unsigned size, const uint8_t* lengths,
                                  unsigned symbols, uint16_t* fast) {
    for (unsigned i = 0; i < size; i++) {
        const unsigned s = table[i];
        fast[i] = static_cast<uint16_t>(s < symbols ? s | lengths[s] << kLengthShift : s);
    }
}

uint8_t* StaticHuffman::DecodeFast(uint8_t* out, uint8_t* const limit, const uint32_t mask) {
    BitInput::Fast in = bits_.BeginFast();
    unsigned left = blockSize_;
    // A refill leaves at least 56 bits: a character code (at most 16), a
    // position code (16) and its extra bits (15) use at most 47.
    while (out < limit && left != 0 && in.CanRefill()) {
        in.Refill();
        left--;
        unsigned entry = charFast_[in.bits >> (64 - HuffmanTables::kCharTableBits)];
        unsigned s = entry & kSymbolMask;
        if (s < HuffmanTables::kCharSymbols) {
            in.Drop(entry >> kLengthShift);
        } else {
            s = t_.WalkTree(s, HuffmanTables::kCharSymbols, in.Peek32(),
                            1u << (31 - HuffmanTables::kCharTableBits));
            const unsigned len = t_.charLengths[s];
            in.Drop(len > HuffmanTables::kCharTableBits ? len : HuffmanTables::kCharTableBits);
        }
        if (s < 256) {
            *out++ = static_cast<uint8_t>(s);
            continue;
        }
        const unsigned length = s - 253;
        entry = positionFast_[in.bits >> (64 - HuffmanTables::kPtTableBits)];
        unsigned j = entry & kSymbolMask;
        if (j < positionCodeCount_) {
            in.Drop(entry >> kLengthShift);
        } else {
            j = t_.WalkTree(j, positionCodeCount_, in.Peek32(), 1u << (31 - HuffmanTables::kPtTableBits));
            const unsigned len = t_.ptLengths[j];
            in.Drop(len > HuffmanTables::kPtTableBits ? len : HuffmanTables::kPtTableBits);
        }
        unsigned p = 0;
        if (j != 0) p = (1u << (j - 1)) + in.Take(j - 1);
        CopyMatch(out, (p & mask) + 1, length);
        out += length;
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
        for (uint16_t& e : t_.ptTable) e = v;
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
    constexpr unsigned nc = HuffmanTables::kCharSymbols;
    const unsigned n = bits_.GetBits(kCharCountBits);
    if (n == 0) {
        const uint16_t v = bits_.GetBits(kCharCountBits);
        std::memset(t_.charLengths, 0, nc);
        for (uint16_t& e : t_.charTable) e = v;
        return;
    }
    const unsigned limit = n < nc ? n : nc;
    unsigned i = 0;
    while (i < limit) {
        const uint16_t window = bits_.Peek16();
        unsigned s = t_.ptTable[window >> 8];
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
