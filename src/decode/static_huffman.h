// -lh4- to -lh7-: LZSS symbols coded with canonical Huffman codes that are
// sent block by block (a pre-tree, the character/length code and the
// position code at the head of every block).
#pragma once

#include <cstdint>

#include "decode/bit_input.h"
#include "decode/huffman_table.h"
#include "archive/lha_format.h"

namespace lzh {

class StaticHuffman {
public:
    StaticHuffman(BitInput& bits, HuffmanTables& tables) : bits_(bits), t_(tables) {}

    // Per-entry set-up; the frame has started the bit input.
    void Start(MethodCode code);

    // A literal 0..255, or 256..510 for a match of length symbol - 253.
    uint16_t DecodeChar() {
        if (blockSize_ == 0) {
            blockSize_ = bits_.GetBits(16);
            // A block of size 0 carries no tables; it stands for one match
            // of length 257 and the next call reads a block header again.
            if (blockSize_ == 0) return kCharSymbols;
            ReadBlockHeader();
        }
        blockSize_--;
        return static_cast<uint16_t>(t_.DecodeChar(bits_, kCharSymbols));
    }

    // The match starts p + 1 bytes back.
    uint16_t DecodePosition() {
        const unsigned j = t_.DecodePosition(bits_, positionCodeCount_);
        if (j == 0) return 0;
        return static_cast<uint16_t>((1u << (j - 1)) + bits_.GetBits(j - 1));
    }

    // Decodes the current block's symbols straight into the decoder's
    // window (see the frame), literals and whole matches, while out is below
    // limit and the bit input has eight bytes at hand.  A match takes its
    // distance modulo the ring (mask + 1).  Returns the new write position.
    uint8_t* DecodeFast(uint8_t* out, uint8_t* limit, uint32_t mask);

    // Reads one list of short code lengths (pre-tree or position code) into
    // ptLengths and builds ptTable.  special >= 0 is the index after which a
    // 2-bit count of zero lengths follows.
    void ReadPtLen(unsigned nn, unsigned nbit, int special);

    // Reads the character/length code lengths (coded with the pre-tree) and
    // builds charTable.
    void ReadCLen();

private:
    void ReadBlockHeader();

    BitInput& bits_;
    HuffmanTables& t_;
    unsigned positionCodeCount_ = 14;
    unsigned positionLengthBits_ = 4;
    uint16_t blockSize_ = 0;
};

}  // namespace lzh
