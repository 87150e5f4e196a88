#include "encode/entry_encoder.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace lzh {
namespace {

// Room for the largest block, written from the last segment: its header
// and 65,535 symbols of at most 16 + 16 + 15 bits.
constexpr size_t kOutBufferSize = 512 * 1024;
// Bytes of a segment's bit string moved into the output at a time.
constexpr size_t kJoinPiece = 64 * 1024;
static_assert(kJoinPiece + 8 < kOutBufferSize);

}  // namespace

EntryEncoder::~EntryEncoder() { Release(); }

void EntryEncoder::Release() {
    ReleaseSlots(0);
    std::free(outBuffer_);
    outBuffer_ = nullptr;
    entropy_.Free();
}

void EntryEncoder::ReleaseSlots(unsigned first) {
    for (unsigned i = first; i < kMaxSlots; i++) {
        if (slots_[i] == nullptr) continue;
        slots_[i]->~SegmentEncoder();
        std::free(slots_[i]);
        slots_[i] = nullptr;
    }
}

// Allocates what the level and the slots need; later entries reuse it.
bool EntryEncoder::Reserve(bool best, unsigned slots) {
    if (!readerReady_) {
        reader_.Init();
        readerReady_ = true;
    }
    if (outBuffer_ == nullptr) outBuffer_ = static_cast<uint8_t*>(std::malloc(kOutBufferSize));
    if (outBuffer_ == nullptr || (slots > 0 && !entropy_.Build())) return false;
    for (unsigned i = 0; i < slots; i++) {
        if (slots_[i] == nullptr) {
            void* memory = std::malloc(sizeof(SegmentEncoder));
            if (memory == nullptr) return false;
            slots_[i] = new (memory) SegmentEncoder();
        }
        if (!slots_[i]->Allocate(best, entropy_.values())) return false;
    }
    return true;
}

EncodeStatus EntryEncoder::Encode(EncodeInput& input, uint32_t size, MethodCode method, bool best,
                                  ArchiveOutput& output, EncodedEntry& result) {
    output_ = &output;
    status_ = EncodeStatus::kOk;
    // Fewer than three bytes hold no match: they cannot shrink.
    if (method == kLh0 || size < 3) {
        if (!Reserve(false, 0)) return EncodeStatus::kNoMemory;
        return Store(input, size, result);
    }
    constexpr uint32_t kSegment = SegmentEncoder::kSegmentSize;
    const uint32_t segments = (size - 1) / kSegment + 1;
    unsigned slots = 1;
    if (runner_ != nullptr && segments > 1) {
        // Two per thread and one more, so that a thread that finishes a
        // segment finds the next one queued while the caller joins.
        slots = 2 * runner_->Threads() + 1;
        if (slots > kMaxSlots) slots = kMaxSlots;
        if (slots > segments) slots = segments;
    }
    if (!Reserve(best, slots)) {
        ReleaseSlots(1);
        return EncodeStatus::kNoMemory;
    }

    const uint64_t dataStart = output.Position();
    const Outcome outcome = Compress(input, size, method, best, slots);
    // Only long files use more than one slot: their memory goes with them.
    ReleaseSlots(1);
    if (outcome == Outcome::kFailed) return status_;
    if (outcome == Outcome::kNoGain) {
        if (!input.Rewind()) return EncodeStatus::kReadError;
        if (!output.Seek(dataStart)) return EncodeStatus::kWriteError;
        return Store(input, size, result);
    }
    bits_.Flush();
    if (!Drain()) return status_;
    result.method = method;
    result.packedSize = static_cast<uint32_t>(bits_.BitCount() / 8);
    result.crc16 = reader_.crc16();
    return EncodeStatus::kOk;
}

// Copies the data through the output buffer.
EncodeStatus EntryEncoder::Store(EncodeInput& input, uint32_t size, EncodedEntry& result) {
    uint8_t* buffer = outBuffer_;
    constexpr uint32_t kPiece = kOutBufferSize;
    uint16_t crc = 0;
    for (uint32_t left = size; left > 0;) {
        const long got = input.Read(buffer, left < kPiece ? left : kPiece);
        if (got < 0) return EncodeStatus::kReadError;
        if (got == 0) return EncodeStatus::kSizeChanged;
        crc = reader_.UpdateCrc16(crc, buffer, static_cast<size_t>(got));
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

// Reads the segments into the slots in turn, hands each to the runner and
// joins them in order; up to `slots` segments are in work at once.
EntryEncoder::Outcome EntryEncoder::Compress(EncodeInput& input, uint32_t size, MethodCode method, bool best,
                                             unsigned slots) {
    reader_.Start(input, size);
    bits_.Start(outBuffer_, kOutBufferSize);
    bitLimit_ = static_cast<uint64_t>(size - 1) * 8;
    dictionary_ = RingSizeOf(method);
    active_ = slots > 1 ? runner_ : nullptr;

    constexpr uint32_t kSegment = SegmentEncoder::kSegmentSize;
    const uint32_t segments = (size - 1) / kSegment + 1;
    uint32_t started = 0, joined = 0;
    Outcome outcome = Outcome::kDone;
    while (outcome == Outcome::kDone && joined < segments) {
        while (started < segments && started - joined < slots) {
            SegmentEncoder& segment = *slots_[started % slots];
            const SegmentEncoder* previous = started > 0 ? slots_[(started - 1) % slots] : nullptr;
            const uint32_t left = size - started * kSegment;
            const uint32_t count = left < kSegment ? left : kSegment;
            if (!ReadSegment(segment, previous, count)) {
                outcome = Outcome::kFailed;
                break;
            }
            segment.Prepare(method, best, count, started + 1 == segments);
            Submit(segment);
            started++;
        }
        if (outcome != Outcome::kDone) break;
        SegmentEncoder& segment = *slots_[joined++ % slots];
        Wait(segment);
        outcome = Join(segment);
    }
    // Segments still in work use the slots.
    for (; joined < started; joined++) Wait(*slots_[joined % slots]);
    return outcome;
}

// Puts the dictionary before the segment (the end of the previous one,
// which may be the same slot) in front of it and reads the segment.
bool EntryEncoder::ReadSegment(SegmentEncoder& segment, const SegmentEncoder* previous, uint32_t count) {
    uint32_t history = 0;
    if (previous != nullptr) {
        history = previous->end() < dictionary_ ? previous->end() : dictionary_;
        std::memmove(segment.buffer(), previous->buffer() + previous->end() - history, history);
    }
    segment.SetHistory(history);
    if (reader_.Read(segment.buffer() + history, count)) return true;
    status_ = reader_.state() == InputReader::State::kReadError ? EncodeStatus::kReadError
                                                                 : EncodeStatus::kSizeChanged;
    return false;
}

// Appends a compressed segment's bits to the entry's, and the last
// segment's last block.
EntryEncoder::Outcome EntryEncoder::Join(SegmentEncoder& segment) {
    if (segment.overflow() || bits_.BitCount() + segment.bitCount() > bitLimit_) return Outcome::kNoGain;
    const uint8_t* bytes = segment.bytes();
    uint64_t left = segment.bitCount();
    while (left > 0) {
        const uint64_t piece = left < 8 * kJoinPiece ? left : 8 * kJoinPiece;
        // Through a copy of the writer, whose state then stays in registers.
        BitOutput bits = bits_;
        uint64_t k = 0;
        for (; k + 32 <= piece; k += 32, bytes += 4)
            bits.Put(static_cast<uint32_t>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3], 32);
        // Only the last piece has bits after its last whole word.
        for (unsigned bit = 0; k < piece; k++, bit++) bits.Put(bytes[bit / 8] >> (7 - bit % 8) & 1, 1);
        bits_ = bits;
        left -= piece;
        if (!Drain()) return Outcome::kFailed;
    }
    return segment.finalCount() != 0 ? WriteFinalBlock(segment) : Outcome::kDone;
}

EntryEncoder::Outcome EntryEncoder::WriteFinalBlock(SegmentEncoder& segment) {
    BlockWriter& writer = segment.blockWriter();
    writer.Plan(segment.finalSymbols(), segment.finalPositions(), segment.finalCount());
    uint64_t bits = writer.FitTables();
    // jlha's decoder can lose the last match of a bit stream that ends on a
    // byte boundary (other readers refuse bytes after the stream, so it
    // cannot be padded): the last block is made 3 bits longer instead.
    if ((bits_.BitCount() + bits) % 8 == 0) bits = writer.Lengthen();
    if (bits_.BitCount() + bits > bitLimit_) return Outcome::kNoGain;
    writer.Write(bits_, segment.finalSymbols(), segment.finalPositions(), segment.finalCount());
    return Drain() ? Outcome::kDone : Outcome::kFailed;
}

// Moves the whole bytes written so far into the output.
bool EntryEncoder::Drain() {
    if (!output_->Write(bits_.bytes(), bits_.size())) {
        status_ = EncodeStatus::kWriteError;
        return false;
    }
    bits_.Drain();
    return true;
}

void EntryEncoder::Submit(SegmentEncoder& segment) {
    if (active_ != nullptr) active_->Submit(segment);
}

void EntryEncoder::Wait(SegmentEncoder& segment) {
    if (active_ != nullptr)
        active_->Wait(segment);
    else
        segment.Run();
}

}  // namespace lzh
