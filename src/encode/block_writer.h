// The static-Huffman block of -lh5-, -lh6- and -lh7-: a 16-bit symbol
// count, the pre-tree that codes the character code lengths, the character
// code lengths, the position code lengths, then the symbols.
#pragma once

#include <bit>
#include <cstdint>

#include "encode/bit_output.h"
#include "encode/huffman_code.h"

namespace lzh {

// The position code of a match's position value p (its distance - 1): the
// number of significant bits of p.
inline unsigned PositionCode(unsigned p) { return static_cast<unsigned>(std::bit_width(p)); }

class BlockWriter {
public:
    // -lh5-: 14 position codes with a 4-bit count; -lh6-: 16 and 5 bits;
    // -lh7-: 17 and 5 bits.
    void SetPositionCodes(unsigned codes, unsigned countBits) {
        positionCodes_ = codes;
        positionCountBits_ = countBits;
    }

    // Builds the codes for `count` symbols (1..kMaxBlockSymbols; positions[i]
    // is read for matches only) and returns the block's exact size in bits.
    uint64_t Plan(const uint16_t* symbols, const uint16_t* positions, unsigned count);

    // Refits the planned block's character code to the pre-tree that
    // sends its lengths: lengths the pre-tree sends cheaply may pay for
    // more bits of the symbols that get them.  Returns the new size (never
    // larger).  Plan's sizes leave this out, since it takes time.
    uint64_t FitTables();

    // Makes the planned block 3 bits longer by sending one more (zero)
    // length at the end of the pre-tree or the position list, which
    // decoders read and ignore.  Returns the new size, or the old one when
    // both lists are full or sent in their one-symbol form.
    uint64_t Lengthen();

    // Writes the planned block.
    void Write(BitOutput& out, const uint16_t* symbols, const uint16_t* positions, unsigned count) const;

    // The last plan's code lengths (0 for unused symbols, and for all
    // symbols of a one-symbol code).
    const uint8_t* charLengths() const { return charLengths_; }
    const uint8_t* positionLengths() const { return positionLengths_; }
    const uint32_t* charFrequencies() const { return charFrequencies_; }
    const uint32_t* positionFrequencies() const { return positionFrequencies_; }

private:
    // A code of one alphabet: lengths, codes and, when fewer than two
    // symbols are used, the symbol sent in place of a code (which then
    // takes no bits).
    struct Code {
        unsigned used = 0;
        unsigned single = 0;
    };

    unsigned BuildCode(const uint32_t* frequencies, unsigned count, uint8_t* lengths, uint16_t* codes,
                       Code& code);
    void BuildPreTreeSequence();
    uint64_t PlanCharacters();
    static uint64_t ShortListBits(const uint8_t* lengths, unsigned sent, bool special);
    static void WriteShortList(BitOutput& out, const uint8_t* lengths, unsigned sent, unsigned countBits,
                               bool special);

    unsigned positionCodes_ = 14;
    unsigned positionCountBits_ = 4;

    uint32_t charFrequencies_[kCharSymbols];
    uint8_t charLengths_[kCharSymbols];
    uint16_t charCodes_[kCharSymbols];
    Code char_;
    unsigned charListCount_ = 0;  // lengths sent: up to the last used symbol

    uint32_t positionFrequencies_[kMaxPositionCodes];
    uint8_t positionLengths_[kMaxPositionCodes];
    uint16_t positionCodesTable_[kMaxPositionCodes];
    Code position_;
    unsigned positionListCount_ = 0;  // lengths sent: up to the last used code, or one more

    uint64_t plannedBits_ = 0;

    // The character lengths as pre-tree symbols: 0 one zero length, 1 a run
    // of 3..18 (4 extra bits), 2 a run of 20..531 (9 extra bits), 3..18 a
    // length of 1..16.
    uint8_t preSymbols_[kCharSymbols];
    uint16_t preExtra_[kCharSymbols];
    unsigned preCount_ = 0;
    uint32_t preFrequencies_[kPreTreeSymbols];
    uint8_t preLengths_[kPreTreeSymbols];
    uint16_t preCodes_[kPreTreeSymbols];
    Code pre_;
    unsigned preListCount_ = 0;

    CodeLengthWork work_;
    FitOrder fitOrder_;
};

}  // namespace lzh
