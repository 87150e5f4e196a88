// Compresses one entry's data with -lh5-, -lh6- or -lh7-, or stores it
// (-lh0-) when it would not shrink.  The default level parses with lazy
// matching over hash chains; the best level parses each chunk of input
// optimally over binary-tree matches, with a bit-cost model taken from the
// previous chunk and then refined from its own result, and keeps the
// cheapest of its passes.
#pragma once

#include <cstdint>

#include "archive/lha_format.h"
#include "encode/bit_output.h"
#include "encode/block_splitter.h"
#include "encode/block_writer.h"
#include "encode/encode_io.h"
#include "encode/input_window.h"
#include "encode/match_finder.h"

namespace lzh {

enum class EncodeStatus {
    kOk,
    kBadOptions,  // a method or header level the writer does not make
    kBadName,     // empty, malformed (empty component, byte 0xFF) or too long for the level
    kTooLarge,    // 4 GiB or more: the header's 32-bit sizes cannot hold it
    kReadError,
    kSizeChanged,  // the data was longer or shorter than its announced size
    kWriteError,
    kNoMemory,
};

// Where an entry went: its method, packed size and CRC-16.
struct EncodedEntry {
    MethodCode method = kLh0;
    uint32_t packedSize = 0;
    uint16_t crc16 = 0;
};

class EntryEncoder {
public:
    // Bytes the best level parses together, and the matches it keeps for
    // them (beyond that, only the longest of each position).  Short chunks
    // let the cost model follow the data; the splitter joins them into
    // blocks.
    static constexpr uint32_t kOptimalChunk = 16 * 1024;
    static constexpr uint32_t kOptimalPairs = 8 * kOptimalChunk;

    EntryEncoder() = default;
    ~EntryEncoder();
    EntryEncoder(const EntryEncoder&) = delete;
    EntryEncoder& operator=(const EntryEncoder&) = delete;

    // Reads exactly `size` bytes from input and writes the packed data at
    // the output's position.  method is kLh0, kLh5, kLh6 or kLh7.
    EncodeStatus Encode(EncodeInput& input, uint32_t size, MethodCode method, bool best,
                        ArchiveOutput& output, EncodedEntry& result);

private:
    enum class Outcome {
        kDone,
        kNoGain,  // the packed data would be as long as the input
        kFailed,  // status_ says why
    };

    struct CostModel {
        uint32_t literal[256];
        uint32_t length[kMaxMatch + 1];
        uint32_t position[kMaxPositionCodes];  // with the extra bits
    };

    bool Reserve(bool best);
    void Release();
    EncodeStatus Store(EncodeInput& input, uint32_t size, EncodedEntry& result);
    Outcome Fill(uint32_t& pos, uint32_t wanted);
    Outcome EmitBlock(const uint16_t* symbols, const uint16_t* positions, unsigned count, bool last);
    Outcome EmitPending(bool all, unsigned segment);

    Outcome ParseLazy();

    Outcome ParseOptimal();
    void FindChunkMatches(uint32_t start, uint32_t count);
    void GreedyModel(uint32_t start, uint32_t count);
    unsigned ParseChunk(uint32_t start, uint32_t count, uint16_t* symbols, uint16_t* positions);
    uint64_t MeasureChunk(const uint16_t* symbols, const uint16_t* positions, unsigned count);
    void ModelFrom(const uint16_t* symbols, const uint16_t* positions, unsigned count);

    InputWindow window_;
    HashChain chain_;
    BinaryTree tree_;
    BlockWriter blockWriter_;
    BlockSplitter splitter_;
    BitOutput bits_;
    ArchiveOutput* output_ = nullptr;
    EncodeStatus status_ = EncodeStatus::kOk;
    bool best_ = false;
    uint64_t bitLimit_ = 0;  // most bits the packed data may take and still shrink
    uint32_t dictionary_ = 0;
    unsigned positionCodes_ = 0;

    uint8_t* outBuffer_ = nullptr;
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
};

}  // namespace lzh
