// Compresses one segment of an entry into -lh5-, -lh6- or -lh7- blocks in
// memory.  An entry is cut into segments of a fixed size; each is parsed
// with the dictionary before it as history (so matches reach back into
// the segment before), and its blocks end with it.  Segments depend on
// nothing but the entry's bytes, so they may be compressed on any thread
// and in any order, and their bit strings, joined in order, are the
// entry's packed data: the same bytes whatever the number of threads.
//
// The default level parses with lazy matching over hash chains.  The best
// level parses each chunk optimally over binary-tree matches, with a
// bit-cost model taken from the previous chunk and then refined from its
// own result, keeping the cheapest of its passes; where that parse's
// blocks end is only planned.  Then it parses the segment again, each
// position priced with the model of the planned block it lies in, and
// writes that parse's blocks.
#pragma once

#include <cstdint>

#include "archive/lha_format.h"
#include "encode/bit_output.h"
#include "encode/block_splitter.h"
#include "encode/block_writer.h"
#include "encode/match_finder.h"
#include "encode/task_runner.h"

namespace lzh {

class SegmentEncoder final : public Task {
public:
    // Bytes of an entry per segment (the last may be shorter).
    static constexpr uint32_t kSegmentSize = 1024 * 1024;
    // Bytes the best level parses together, and the matches it keeps for
    // them (beyond that, only the longest of each position).  Short chunks
    // let the cost model follow the data; the splitter joins them into
    // blocks.
    static constexpr uint32_t kOptimalChunk = 16 * 1024;
    static constexpr uint32_t kOptimalPairs = 8 * kOptimalChunk;
    // Block models the best level keeps from its first parse; the blocks
    // after that many share the last one.
    static constexpr unsigned kMaxBlockModels = 512;

    SegmentEncoder() = default;
    ~SegmentEncoder();
    SegmentEncoder(const SegmentEncoder&) = delete;
    SegmentEncoder& operator=(const SegmentEncoder&) = delete;

    // Allocates what the level needs, once; xlog2x is an EntropyTable's
    // values, kept while the encoder is in use.
    bool Allocate(bool best, const uint32_t* xlog2x);
    void Free();

    // Where the segment goes: `history` bytes of the entry before it, then
    // its own `count` bytes (1..kSegmentSize), with zero padding behind.
    uint8_t* buffer() const { return buffer_; }
    static constexpr uint32_t kBufferSize = kLargestDictionary + kSegmentSize;

    // The history's length, set before the segment's bytes are read.
    void SetHistory(uint32_t history) { start_ = history; }

    // Sets up the next Run: the method's codes, the level and the
    // segment's length.  The entry's last segment keeps its last block
    // unwritten, for the caller to write (finalSymbols()).
    void Prepare(MethodCode method, bool best, uint32_t count, bool last);

    // Parses the segment and writes its blocks.
    void Run() override;

    // The blocks written: bitCount() bits, from the top bit of bytes()[0].
    // overflow(): they did not fit in the buffer, which happens only when
    // the segment takes more than twice its size.
    const uint8_t* bytes() const { return outBuffer_; }
    uint64_t bitCount() const { return bitCount_; }
    bool overflow() const { return overflow_; }

    // The last segment's last block, planned with blockWriter().
    const uint16_t* finalSymbols() const { return pendingSymbols_; }
    const uint16_t* finalPositions() const { return pendingPositions_; }
    unsigned finalCount() const { return pendingCount_; }
    BlockWriter& blockWriter() { return blockWriter_; }

    uint32_t count() const { return end_ - start_; }
    uint32_t end() const { return end_; }

private:
    // Costs in sixteenths of a bit.
    struct CostModel {
        uint16_t literal[256];
        uint16_t length[kMaxMatch + 1];
        uint16_t position[kMaxPositionCodes];  // with the extra bits
    };

    void EmitBlock(const uint16_t* symbols, const uint16_t* positions, unsigned count);
    void EmitPending(bool all, const BlockSplitter::Settings& blocks);

    void ParseLazy();
    uint32_t MatchCost(unsigned length, uint32_t distance) const;
    void FlatModel();

    void ParseOptimal();
    void ParseSegmentOptimal();
    void FindChunkMatches(uint32_t start, uint32_t count);
    void GreedyModel(uint32_t start, uint32_t count);
    unsigned ParseChunk(uint32_t start, uint32_t count, uint16_t* symbols, uint16_t* positions);
    uint64_t MeasureChunk(const uint16_t* symbols, const uint16_t* positions, unsigned count);
    void ModelFrom(const uint16_t* symbols, const uint16_t* positions, unsigned count, CostModel& model) const;
    void KeepBlockModel(const uint16_t* symbols, const uint16_t* positions, unsigned count);

    uint8_t* buffer_ = nullptr;
    uint32_t start_ = 0;  // the segment's first byte in buffer_
    uint32_t end_ = 0;
    bool last_ = false;
    bool best_ = false;
    uint32_t dictionary_ = 0;
    unsigned positionCodes_ = 0;

    HashChain chain_;
    BinaryTree tree_;
    BlockWriter blockWriter_;
    BlockSplitter splitter_;
    BitOutput bits_;
    uint8_t* outBuffer_ = nullptr;
    uint64_t bitCount_ = 0;
    bool overflow_ = false;

    // Symbols parsed but not yet written: the splitter decides where their
    // blocks end once it has seen enough of them.
    uint16_t* pendingSymbols_ = nullptr;
    uint16_t* pendingPositions_ = nullptr;
    unsigned pendingCount_ = 0;
    unsigned* blockEnds_ = nullptr;

    // The best level's chunk: the matches found at each position, the
    // cheapest way to each position, and two parses (the best so far and
    // the one being tried).
    uint32_t* pairStart_ = nullptr;
    Match* pairs_ = nullptr;
    uint32_t* price_ = nullptr;
    uint32_t* from_ = nullptr;
    uint16_t* parseSymbols_[2] = {};
    uint16_t* parsePositions_[2] = {};
    CostModel model_;
    bool haveModel_ = false;

    // The first parse's blocks: their models and the input position where
    // each ends.  While planning, blocks are measured and kept here instead
    // of written; while repricing, ParseChunk prices with these models.
    bool planning_ = false;
    bool repricing_ = false;
    CostModel* blockModels_ = nullptr;
    uint32_t* blockModelEnds_ = nullptr;
    unsigned blockModelCount_ = 0;
    uint32_t plannedEnd_ = 0;
};

}  // namespace lzh
