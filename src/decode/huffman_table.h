// Canonical Huffman lookup tables shared by the static-Huffman methods
// (-lh4- to -lh7-), -lh3- and the fixed position code of -lh1-.
#pragma once

#include <atomic>
#include <cstdint>

#include "archive/lha_format.h"
#include "decode/bit_input.h"
#include "decode/outcome.h"

namespace lzh {

struct HuffmanTables {
    static constexpr unsigned kCharTableBits = 12;
    static constexpr unsigned kPtTableBits = 8;
    static constexpr unsigned kPtLengths = 128;
    static constexpr unsigned kLinks = 2 * kCharSymbols - 1;  // tree nodes, numbered from nchar

    // A first-level entry holds a symbol and its code length, so that a
    // short code costs one look-up; or a tree node (below kLinks) with
    // length 0 for the longer codes.  The length is in the low bits, where
    // a shift by the entry itself uses it.
    static constexpr unsigned kSymbolShift = 6;
    static constexpr unsigned kLengthMask = (1u << kSymbolShift) - 1;
    static constexpr uint16_t Entry(unsigned symbol, unsigned length) {
        return static_cast<uint16_t>(symbol << kSymbolShift | length);
    }
    static constexpr unsigned SymbolOf(unsigned entry) { return entry >> kSymbolShift; }
    static constexpr unsigned LengthOf(unsigned entry) { return entry & kLengthMask; }

    uint8_t charLengths[kCharSymbols];
    uint16_t charTable[1u << kCharTableBits];
    uint8_t ptLengths[kPtLengths];
    uint16_t ptTable[1u << kPtTableBits];
    uint16_t leftLinks[kLinks];
    uint16_t rightLinks[kLinks];

    DecodeOutcome* fault = nullptr;  // set by a bad table: the entry ends there

    // Builds a first-level table of 2^width entries (width 8 or 12) from
    // nchar (at most kCharSymbols) code lengths, with tree nodes for the
    // longer codes.  A bad set of lengths (one above 16, or one that does
    // not fill the code space exactly) sets the fault (kBadTableA or
    // kBadTableB), which ends the entry; false then.  A set of zero lengths leaves
    // the table as it was.
    bool MakeTable(unsigned nchar, const uint8_t* lengths, unsigned width, uint16_t* table);

    // Resolves a table entry that is a tree node: walks the links with the
    // bits of `bits` from `mask` downwards until a symbol below `limit` is
    // reached.  Every walk ends: if the bits run out (only a corrupt table can
    // do that) the symbol is 0 and the entry's CRC check reports the damage.
    unsigned WalkTree(unsigned node, unsigned limit, uint32_t bits, uint32_t mask) const {
        while (node >= limit) {
            if (mask == 0 || node >= kLinks) return 0;
            node = (bits & mask) ? rightLinks[node] : leftLinks[node];
            mask >>= 1;
        }
        return node;
    }

    // The next symbol of the character code (below count) or of the
    // position code, its bits dropped.
    unsigned DecodeChar(BitInput& bits, unsigned count) const {
        return Decode(bits, charTable, kCharTableBits, charLengths, count);
    }
    unsigned DecodePosition(BitInput& bits, unsigned count) const {
        return Decode(bits, ptTable, kPtTableBits, ptLengths, count);
    }

private:
    // One look-up in a first-level table of 2^width entries; a tree node
    // there is walked with the bits that follow.
    unsigned Decode(BitInput& bits, const uint16_t* table, unsigned width, const uint8_t* lengths,
                    unsigned count) const;
    bool Fail(DecodeOutcome outcome);
};

// Fills count code lengths: the length starts at `first` and rises by one at
// every index listed in `row` (a value listed twice raises it twice).  row is
// ascending and ends with 0.
void MakeFixedLengths(uint8_t* lengths, unsigned count, unsigned first, const uint8_t* row);

}  // namespace lzh
