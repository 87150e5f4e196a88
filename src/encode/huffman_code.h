// Length-limited canonical Huffman codes for the static-Huffman block
// writer: optimal code lengths under a maximum length (package-merge), and
// the canonical codes the decoders' table builder expects.
#pragma once

#include <cstdint>

#include "archive/lha_format.h"

namespace lzh {

// Most symbols of any alphabet coded here (the character/length alphabet).
constexpr unsigned kMaxCodeSymbols = kCharSymbols;

// Scratch space of BuildCodeLengths, kept by the caller so that building a
// code never allocates.
struct CodeLengthWork {
    struct Leaf {
        uint32_t frequency;
        uint16_t symbol;
    };
    Leaf leaves[kMaxCodeSymbols];
    uint64_t weights[2][2 * kMaxCodeSymbols];
    // Huffman's tree over the sorted leaves: each item's parent (leaves
    // first, then the joined nodes in the order they were made) and depth.
    uint16_t parent[2 * kMaxCodeSymbols];
    uint8_t depth[2 * kMaxCodeSymbols];
    // isLeaf[level][i]: item i of the merged list at that level is a leaf.
    uint8_t isLeaf[kMaxCodeLength][2 * kMaxCodeSymbols];
};

// Sets lengths[0..count-1] to optimal code lengths of at most maxLength
// bits for the symbols of nonzero frequency (0 for the others) and returns
// the number of such symbols.  With fewer than two symbols every length is
// 0: the block writer sends a one-symbol code in its own form.
unsigned BuildCodeLengths(const uint32_t* frequencies, unsigned count, unsigned maxLength, uint8_t* lengths,
                          CodeLengthWork& work);

// A code's symbols of nonzero frequency by falling frequency (ties by
// symbol), with the running sums of their frequencies: what fitting its
// lengths works on, built once for any number of fits.
struct FitOrder {
    uint16_t symbols[kMaxCodeSymbols];
    uint64_t sum[kMaxCodeSymbols + 1];  // sum[i]: the frequencies of the first i symbols
    unsigned count = 0;
};

void OrderForFit(const uint32_t* frequencies, unsigned count, FitOrder& order, CodeLengthWork& work);

// Moves the lengths of a complete code (from BuildCodeLengths, with at
// least three symbols; `order` from its frequencies) so that the symbols'
// bits plus lengthCost[L] for every symbol of length L (1..maxLength) get
// smaller, as long as a step of two lengths gains: one symbol one bit
// deeper, two others one shallower, or the reverse.  The code stays
// complete.  Returns whether a length changed.
bool FitCodeLengths(const FitOrder& order, unsigned maxLength, const uint32_t* lengthCost, uint8_t* lengths);

// Canonical codes: shorter codes first, and within one length in symbol
// order, which is how the decoders' table builder assigns them.
void BuildCanonicalCodes(const uint8_t* lengths, unsigned count, uint16_t* codes);

}  // namespace lzh
