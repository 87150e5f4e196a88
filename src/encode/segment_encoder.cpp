#include "encode/segment_encoder.h"

#include <cstdlib>
#include <cstring>

namespace lzh {
namespace {

// Bytes readable behind the segment's end (match comparisons read whole
// words); always zero.
constexpr uint32_t kPadding = 16;

// Room for a segment's blocks: twice its size.  Every block is planned
// before it is written, so a segment that needs more is found out, never
// written past the buffer.
constexpr size_t kOutBufferSize = 2 * SegmentEncoder::kSegmentSize;

template <class T>
T* AllocateArray(size_t count) {
    return static_cast<T*>(std::malloc(count * sizeof(T)));
}

}  // namespace

SegmentEncoder::~SegmentEncoder() { Free(); }

void SegmentEncoder::Free() {
    chain_.Free();
    tree_.Free();
    splitter_.Free();
    std::free(buffer_);
    std::free(outBuffer_);
    std::free(pendingSymbols_);
    std::free(pendingPositions_);
    std::free(blockEnds_);
    std::free(pairStart_);
    std::free(pairs_);
    std::free(price_);
    std::free(from_);
    std::free(blockModels_);
    std::free(blockModelEnds_);
    blockModels_ = nullptr;
    blockModelEnds_ = nullptr;
    for (int i = 0; i < 2; i++) {
        std::free(parseSymbols_[i]);
        std::free(parsePositions_[i]);
        parseSymbols_[i] = parsePositions_[i] = nullptr;
    }
    buffer_ = outBuffer_ = nullptr;
    pendingSymbols_ = pendingPositions_ = nullptr;
    blockEnds_ = nullptr;
    pairStart_ = price_ = from_ = nullptr;
    pairs_ = nullptr;
}

bool SegmentEncoder::Allocate(bool best, const uint32_t* xlog2x) {
    if (buffer_ == nullptr) {
        buffer_ = AllocateArray<uint8_t>(kBufferSize + kPadding);
        outBuffer_ = AllocateArray<uint8_t>(kOutBufferSize);
        pendingSymbols_ = AllocateArray<uint16_t>(BlockSplitter::kMaxSymbols);
        pendingPositions_ = AllocateArray<uint16_t>(BlockSplitter::kMaxSymbols);
        blockEnds_ = AllocateArray<unsigned>(BlockSplitter::kMaxBlocks);
    }
    if (buffer_ == nullptr || outBuffer_ == nullptr || pendingSymbols_ == nullptr ||
        pendingPositions_ == nullptr || blockEnds_ == nullptr || !splitter_.Allocate(xlog2x))
        return false;
    if (!best) return chain_.Allocate(kLargestDictionary);
    if (pairStart_ == nullptr) {
        pairStart_ = AllocateArray<uint32_t>(kOptimalChunk + 1);
        pairs_ = AllocateArray<Match>(kOptimalPairs + kOptimalChunk);
        price_ = AllocateArray<uint32_t>(kOptimalChunk + 1);
        from_ = AllocateArray<uint32_t>(kOptimalChunk + 1);
        for (int i = 0; i < 2; i++) {
            parseSymbols_[i] = AllocateArray<uint16_t>(kOptimalChunk);
            parsePositions_[i] = AllocateArray<uint16_t>(kOptimalChunk);
        }
        blockModels_ = AllocateArray<CostModel>(kMaxBlockModels);
        blockModelEnds_ = AllocateArray<uint32_t>(kMaxBlockModels);
    }
    return pairStart_ != nullptr && pairs_ != nullptr && price_ != nullptr && from_ != nullptr &&
           blockModels_ != nullptr && blockModelEnds_ != nullptr &&
           parseSymbols_[0] != nullptr && parsePositions_[0] != nullptr && parseSymbols_[1] != nullptr &&
           parsePositions_[1] != nullptr && tree_.Allocate(kLargestDictionary);
}

void SegmentEncoder::Prepare(MethodCode method, bool best, uint32_t count, bool last) {
    dictionary_ = RingSizeOf(method);
    positionCodes_ = kMethodTable[method].positionCodes;
    blockWriter_.SetPositionCodes(positionCodes_, kMethodTable[method].positionCountBits);
    best_ = best;
    end_ = start_ + count;
    last_ = last;
    std::memset(buffer_ + end_, 0, kPadding);
}

void SegmentEncoder::Run() {
    bits_.Start(outBuffer_, kOutBufferSize);
    pendingCount_ = 0;
    overflow_ = false;
    if (best_)
        ParseOptimal();
    else
        ParseLazy();
    bitCount_ = bits_.BitCount();
    bits_.Flush();
}

void SegmentEncoder::EmitBlock(const uint16_t* symbols, const uint16_t* positions, unsigned count) {
    if (planning_) {
        KeepBlockModel(symbols, positions, count);
        return;
    }
    blockWriter_.Plan(symbols, positions, count);
    const uint64_t bits = blockWriter_.FitTables();
    // The bit writer keeps up to 31 bits and stores 4 bytes at a time.
    if (overflow_ || (bits_.BitCount() + bits) / 8 + 8 > bits_.capacity()) {
        overflow_ = true;
        return;
    }
    blockWriter_.Write(bits_, symbols, positions, count);
}

// Writes the pending symbols as the splitter cuts them; unless `all`, the
// last block stays pending, to be cut again with the symbols after it.
// The entry's last block always stays, except while planning.
void SegmentEncoder::EmitPending(bool all, const BlockSplitter::Settings& blocks) {
    const unsigned count = splitter_.Split(pendingSymbols_, pendingPositions_, pendingCount_, blocks, blockWriter_,
                                           blockEnds_);
    if (count == 0) return;
    const unsigned written = all && (!last_ || planning_) ? count : count - 1;
    unsigned start = 0;
    for (unsigned b = 0; b < written; b++) {
        EmitBlock(pendingSymbols_ + start, pendingPositions_ + start, blockEnds_[b] - start);
        start = blockEnds_[b];
    }
    pendingCount_ -= start;
    std::memmove(pendingSymbols_, pendingSymbols_ + start, pendingCount_ * sizeof *pendingSymbols_);
    std::memmove(pendingPositions_, pendingPositions_ + start, pendingCount_ * sizeof *pendingPositions_);
}

}  // namespace lzh
