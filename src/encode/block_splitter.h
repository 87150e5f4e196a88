// Chooses where blocks end.  Every block carries its own codes, so a block
// should end where the statistics of the data change (one file of a
// package gives way to another), and not elsewhere, since every block also
// carries the tables of its codes.
//
// The symbols are cut into segments of a few hundred symbols, with running
// counts of every character and position code at each segment boundary,
// so that the cost of any run of segments is quick to estimate: the
// entropy of its symbols plus an allowance for its tables.  A range is
// split recursively at the boundary that makes its two halves cheapest,
// as long as that beats keeping it whole, and always while it holds more
// symbols than one block may.
#pragma once

#include <cstdint>

#include "encode/block_writer.h"

namespace lzh {

// x log2 x for x = 0..BlockSplitter::kMaxSymbols, in 256ths of a bit: what
// the splitter's estimates add up.  Built once (it takes some 19 M
// instructions) and shared, read only, by every splitter of an entry
// encoder.
class EntropyTable {
public:
    EntropyTable() = default;
    ~EntropyTable() { Free(); }
    EntropyTable(const EntropyTable&) = delete;
    EntropyTable& operator=(const EntropyTable&) = delete;

    bool Build();  // once; false when out of memory
    void Free();
    const uint32_t* values() const { return values_; }

private:
    uint32_t* values_ = nullptr;
};

class BlockSplitter {
public:
    // The most symbols split at once, and the shortest segment.
    static constexpr unsigned kMaxSymbols = 4 * 65536;
    static constexpr unsigned kMinSegment = 128;
    static constexpr unsigned kMaxBlocks = kMaxSymbols / kMinSegment;

    // How closely a level looks: block ends at multiples of `segment`
    // symbols (kMinSegment or more); a long range first cut at
    // `coarseCuts` to twice as many evenly spaced boundaries, then around
    // the best of them; with `verify`, every split checked against the
    // exact block sizes the writer computes.
    struct Settings {
        unsigned segment;
        unsigned coarseCuts;
        bool verify;
    };

    // xlog2x: an EntropyTable's values, which must outlive the splitter's use.
    bool Allocate(const uint32_t* xlog2x);
    void Free();

    // Cuts symbols[0..count) (count <= kMaxSymbols) into blocks of at most
    // kMaxBlockSymbols: writes the end of each block to ends, in order (the
    // last is count), and returns their number (at most kMaxBlocks).
    unsigned Split(const uint16_t* symbols, const uint16_t* positions, unsigned count, const Settings& settings,
                   BlockWriter& writer, unsigned* ends);

private:
    static constexpr unsigned kAlphabet = kCharSymbols + kMaxPositionCodes;

    struct Tally;
    int64_t Estimate(unsigned first, unsigned last, const uint16_t* used, unsigned usedCount) const;
    int64_t EstimateCut(unsigned first, unsigned cut, unsigned last, const uint16_t* used, unsigned usedCount) const;
    unsigned SymbolsIn(unsigned first, unsigned last) const;
    void SplitRange(unsigned first, unsigned last);

    const uint32_t* xlog2x_ = nullptr;  // an EntropyTable's
    uint32_t* counts_ = nullptr;  // running counts: (segments + 1) rows of kAlphabet
    const uint16_t* symbols_ = nullptr;
    const uint16_t* positions_ = nullptr;
    unsigned count_ = 0;
    unsigned segment_ = 0;
    unsigned segments_ = 0;
    unsigned coarseCuts_ = 0;
    bool verify_ = false;
    BlockWriter* writer_ = nullptr;
    unsigned* ends_ = nullptr;
    unsigned endCount_ = 0;
};

}  // namespace lzh
