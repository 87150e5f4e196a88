#include "encode/entry_encoder.h"

#include <cstdlib>
#include <cstring>

#include "archive/crc16.h"

namespace lzh {
namespace {

// Room for the largest block: its header and 65,535 symbols of at most 16
// + 16 + 15 bits.
constexpr size_t kOutBufferSize = 512 * 1024;

template <class T>
T* AllocateArray(size_t count) {
    return static_cast<T*>(std::malloc(count * sizeof(T)));
}

}  // namespace

// Bytes read ahead of the coding position at most: the window moves its
// contents (and the match finder its positions) once per this many bytes.
constexpr uint32_t kLargestRequest = 256 * 1024;
static_assert(kLargestRequest >= EntryEncoder::kOptimalChunk + 2 * kMaxMatch);

EntryEncoder::~EntryEncoder() { Release(); }

void EntryEncoder::Release() {
    window_.Free();
    chain_.Free();
    tree_.Free();
    splitter_.Free();
    std::free(outBuffer_);
    std::free(pendingSymbols_);
    std::free(pendingPositions_);
    std::free(blockEnds_);
    std::free(pairStart_);
    std::free(pairs_);
    std::free(price_);
    std::free(from_);
    for (int i = 0; i < 2; i++) {
        std::free(parseSymbols_[i]);
        std::free(parsePositions_[i]);
        parseSymbols_[i] = parsePositions_[i] = nullptr;
    }
    outBuffer_ = nullptr;
    pendingSymbols_ = pendingPositions_ = nullptr;
    blockEnds_ = nullptr;
    pairStart_ = price_ = from_ = nullptr;
    pairs_ = nullptr;
}

// Allocates what the level needs, once; later entries reuse it.
bool EntryEncoder::Reserve(bool best) {
    if (!window_.Allocate(kLargestDictionary, kLargestRequest)) return false;
    if (outBuffer_ == nullptr) {
        outBuffer_ = AllocateArray<uint8_t>(kOutBufferSize);
        pendingSymbols_ = AllocateArray<uint16_t>(BlockSplitter::kMaxSymbols);
        pendingPositions_ = AllocateArray<uint16_t>(BlockSplitter::kMaxSymbols);
        blockEnds_ = AllocateArray<unsigned>(BlockSplitter::kMaxBlocks);
    }
    if (outBuffer_ == nullptr || pendingSymbols_ == nullptr || pendingPositions_ == nullptr ||
        blockEnds_ == nullptr || !splitter_.Allocate())
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
    }
    return pairStart_ != nullptr && pairs_ != nullptr && price_ != nullptr && from_ != nullptr &&
           parseSymbols_[0] != nullptr && parsePositions_[0] != nullptr && parseSymbols_[1] != nullptr &&
           parsePositions_[1] != nullptr && tree_.Allocate(kLargestDictionary);
}

EncodeStatus EntryEncoder::Encode(EncodeInput& input, uint32_t size, MethodCode method, bool best,
                                  ArchiveOutput& output, EncodedEntry& result) {
    output_ = &output;
    status_ = EncodeStatus::kOk;
    if (!Reserve(best && method != kLh0)) return EncodeStatus::kNoMemory;
    // Fewer than three bytes hold no match: they cannot shrink.
    if (method == kLh0 || size < 3) return Store(input, size, result);

    const uint64_t dataStart = output.Position();
    const uint32_t dictionary = dictionary_ = RingSizeOf(method);
    positionCodes_ = kMethodTable[method].positionCodes;
    blockWriter_.SetPositionCodes(positionCodes_, kMethodTable[method].positionCountBits);
    window_.Start(input, size, dictionary);
    bits_.Start(outBuffer_, kOutBufferSize);
    pendingCount_ = 0;
    bitLimit_ = static_cast<uint64_t>(size - 1) * 8;

    best_ = best;
    const Outcome outcome = best ? ParseOptimal() : ParseLazy();
    if (outcome == Outcome::kFailed) return status_;
    if (outcome == Outcome::kNoGain) {
        if (!input.Rewind()) return EncodeStatus::kReadError;
        if (!output.Seek(dataStart)) return EncodeStatus::kWriteError;
        return Store(input, size, result);
    }
    bits_.Flush();
    if (!output.Write(bits_.bytes(), bits_.size())) return EncodeStatus::kWriteError;
    bits_.Drain();
    result.method = method;
    result.packedSize = static_cast<uint32_t>(bits_.BitCount() / 8);
    result.crc16 = window_.crc16();
    return EncodeStatus::kOk;
}

// Copies the data through the window's buffer.
EncodeStatus EntryEncoder::Store(EncodeInput& input, uint32_t size, EncodedEntry& result) {
    uint8_t* buffer = window_.data();
    constexpr uint32_t kPiece = kLargestRequest;
    uint16_t crc = 0;
    for (uint32_t left = size; left > 0;) {
        const long got = input.Read(buffer, left < kPiece ? left : kPiece);
        if (got < 0) return EncodeStatus::kReadError;
        if (got == 0) return EncodeStatus::kSizeChanged;
        crc = window_.UpdateCrc16(crc, buffer, static_cast<size_t>(got));
        if (!output_->Write(buffer, static_cast<size_t>(got))) return EncodeStatus::kWriteError;
        left -= static_cast<uint32_t>(got);
    }
    const long more = input.Read(buffer, 1);
    if (more < 0) return EncodeStatus::kReadError;
    if (more > 0) return EncodeStatus::kSizeChanged;
    result.method = kLh0;
    result.packedSize = size;
    result.crc16 = crc;
    return EncodeStatus::kOk;
}

EntryEncoder::Outcome EntryEncoder::Fill(uint32_t& pos, uint32_t wanted) {
    const uint32_t shift = window_.Fill(pos, wanted);
    switch (window_.state()) {
    case InputWindow::State::kReadError: status_ = EncodeStatus::kReadError; return Outcome::kFailed;
    case InputWindow::State::kSizeChanged: status_ = EncodeStatus::kSizeChanged; return Outcome::kFailed;
    default: break;
    }
    if (shift != 0) {
        pos -= shift;
        if (best_)
            tree_.Rebase(shift);
        else
            chain_.Rebase(shift);
    }
    return Outcome::kDone;
}

EntryEncoder::Outcome EntryEncoder::EmitBlock(const uint16_t* symbols, const uint16_t* positions,
                                              unsigned count, bool last) {
    uint64_t bits = blockWriter_.Plan(symbols, positions, count);
    // jlha's decoder can lose the last match of a bit stream that ends on a
    // byte boundary (other readers refuse bytes after the stream, so it
    // cannot be padded): the last block is made 3 bits longer instead.
    if (last && (bits_.BitCount() + bits) % 8 == 0) bits = blockWriter_.Lengthen();
    if (bits_.BitCount() + bits > bitLimit_) return Outcome::kNoGain;
    blockWriter_.Write(bits_, symbols, positions, count);
    if (!output_->Write(bits_.bytes(), bits_.size())) {
        status_ = EncodeStatus::kWriteError;
        return Outcome::kFailed;
    }
    bits_.Drain();
    return Outcome::kDone;
}

// Writes the pending symbols as the splitter cuts them at multiples of
// `segment`; unless `all`, the last block stays pending, to be cut again
// with the symbols after it.
EntryEncoder::Outcome EntryEncoder::EmitPending(bool all, unsigned segment) {
    const unsigned blocks = splitter_.Split(pendingSymbols_, pendingPositions_, pendingCount_, segment, best_,
                                            blockWriter_, blockEnds_);
    const unsigned written = all ? blocks : blocks - 1;
    unsigned start = 0;
    for (unsigned b = 0; b < written; b++) {
        const Outcome emitted = EmitBlock(pendingSymbols_ + start, pendingPositions_ + start,
                                          blockEnds_[b] - start, all && b + 1 == blocks);
        if (emitted != Outcome::kDone) return emitted;
        start = blockEnds_[b];
    }
    pendingCount_ -= start;
    std::memmove(pendingSymbols_, pendingSymbols_ + start, pendingCount_ * sizeof *pendingSymbols_);
    std::memmove(pendingPositions_, pendingPositions_ + start, pendingCount_ * sizeof *pendingPositions_);
    return Outcome::kDone;
}

}  // namespace lzh
