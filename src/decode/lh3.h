// -lh3-: LZSS with an 8 KiB dictionary; character/length and position codes
// are static Huffman codes sent at the head of every block, with a fixed
// position code as an option.
#pragma once

#include <cstdint>

#include "decode/bit_input.h"
#include "decode/huffman_table.h"

namespace lzh {

class Lh3Decoder {
public:
    // Alphabet: literals 0..255, lengths 3..31 as 256..284, and the escape
    // 285 followed by 8 bits that are added to it (lengths 32..287).
    static constexpr unsigned kSymbols = 286;
    static constexpr unsigned kEscape = kSymbols - 1;
    static constexpr unsigned kPositionCodes = 128;

    Lh3Decoder(BitInput& bits, HuffmanTables& tables) : bits_(bits), t_(tables) {}

    // Per-entry set-up; the frame has started the bit input.  An entry always
    // starts with a block head, whatever a damaged earlier entry left.
    void Start() { blockCounter_ = 0; }

    uint16_t DecodeChar() {
        if (blockCounter_ == 0) ReadBlockHead();
        blockCounter_--;  // a count of 0 stands for 65536 symbols
        unsigned j = t_.DecodeChar(bits_, kSymbols);
        if (j == kEscape) j += bits_.GetBits(8);
        return static_cast<uint16_t>(j);
    }

    // The distance d, 0..8191: a position code and 6 raw bits.
    uint16_t DecodePosition() {
        const unsigned j = t_.DecodePosition(bits_, kPositionCodes);
        return static_cast<uint16_t>((j << 6) + bits_.GetBits(6));
    }

private:
    void ReadBlockHead();

    BitInput& bits_;
    HuffmanTables& t_;
    uint16_t blockCounter_ = 0;
};

}  // namespace lzh
