#include "decode/frame.h"

#include <cstdlib>
#include <cstring>

#include "decode/match_copy.h"

namespace lzh {
namespace {

constexpr uint32_t kStoredChunk = 32768;
constexpr uint32_t kCopyToEnd = 0xFFFFFFFF;  // stored packed size meaning "up to the end of file"
constexpr uint32_t kLongestMatch = 287;      // -lh3-: escape 285 + 255, less 253

enum class RingByte : uint8_t {};

// The window slides back by this many bytes (a multiple of the ring size)
// whenever it has been written out up to its end: the larger it is, the
// fewer bytes the slides move.
constexpr uint32_t WindowSlide(uint32_t ringSize) { return ringSize >= 65536 ? 3 * ringSize : 4 * ringSize; }

// The ring's bytes, then room for the window to grow (see Run), for the
// largest ring; the stored copy takes its chunk from the same block.
constexpr uint32_t kLargestRing = 65536;
constexpr uint32_t kWindowBytes = kLargestRing + WindowSlide(kLargestRing) + kLongestMatch + kCopyOverrun;
static_assert(kStoredChunk <= kWindowBytes);

}  // namespace

Decoder::Decoder(FILE* archive, OutputSink& output, std::atomic<int32_t>& abortState)
    : archive_(archive), output_(output), abortState_(abortState) {
    tables_.fault = &fault_;
    crc16_.Init();
}

Decoder::~Decoder() { std::free(window_); }

// The window is allocated at the first entry that needs it and kept for the
// run: a block this large is fresh memory from the system each time it is
// allocated (under Wine, too), whose pages would fault in again for every entry.
uint8_t* Decoder::Window() {
    if (window_ == nullptr) window_ = static_cast<uint8_t*>(std::malloc(kWindowBytes));
    if (window_ == nullptr) Fail(DecodeOutcome::kNoMemory);
    return window_;
}

// A write or an allocation that failed ends the run.
void Decoder::Fail(DecodeOutcome fault) {
    fault_ = fault;
    abortState_.store(kAbortFailed, std::memory_order_relaxed);
}

size_t Decoder::WriteOutput(const uint8_t* bytes, size_t count) {
    if (Aborted()) return 0;
    if (!output_.Write(bytes, count)) {
        Fail(DecodeOutcome::kWriteFailed);
        return 0;
    }
    runningCrc16 = crc16_.Update(runningCrc16, bytes, count);
    outputTotal += static_cast<uint32_t>(count);
    output_.Progress(outputTotal);
    return count;
}

// Copies the packed bytes as they are; the unpacked size is not consulted.
// Stops early at the end of the file, which then counts as a read error
// unless the size asks for a copy up to the end.  The chunk is on the heap:
// the module's stack frames stay below a page, as it has no stack probes.
void Decoder::CopyStored(uint32_t packedSize) {
    uint8_t* const chunk = Window();
    if (chunk == nullptr) return;
    uint32_t remaining = packedSize;
    while (packedSize == kCopyToEnd || remaining > 0) {
        uint32_t want = kStoredChunk;
        if (packedSize != kCopyToEnd && want > remaining) want = remaining;
        const size_t got = std::fread(chunk, 1, want, archive_);
        if (got == 0) {
            if (packedSize != kCopyToEnd) fault_ = DecodeOutcome::kReadError;
            break;
        }
        const size_t written = WriteOutput(chunk, got);
        remaining -= static_cast<uint32_t>(written);
        if (Aborted()) break;
    }
}

DecodeOutcome Decoder::DecodeEntry(MethodCode code, uint32_t packedSize, uint32_t unpackedSize,
                                   uint16_t crc16) {
    fault_ = DecodeOutcome::kOk;
    runningCrc16 = 0;
    const uint32_t before = outputTotal;
    Decode(code, packedSize, unpackedSize);
    const uint32_t written = outputTotal - before;

    if (fault_ != DecodeOutcome::kOk) return fault_;
    if (packedInput_.overrun() > kPackedSlack)
        return packedInput_.fileEnded() ? DecodeOutcome::kReadError : DecodeOutcome::kPastPackedData;
    if (written != unpackedSize) {
        if (RingSizeOf(code) == 0 && code != kLh0 && code != kLz4) return DecodeOutcome::kUnknownMethod;
        return abortState_.load(std::memory_order_relaxed) != kAbortNone ? DecodeOutcome::kCancelled
                                                                         : DecodeOutcome::kLengthMismatch;
    }
    return runningCrc16 == crc16 ? DecodeOutcome::kOk : DecodeOutcome::kCrcMismatch;
}

void Decoder::Decode(MethodCode code, uint32_t packedSize, uint32_t unpackedSize) {
    packedInput_.Start(archive_, 0, true);  // no overrun of the entry before counts
    if (code == kLh0 || code == kLz4) {
        CopyStored(packedSize);
        return;
    }
    const uint32_t ringSize = RingSizeOf(code);
    if (ringSize == 0) return;  // not decodable: nothing is written

    uint8_t* const window = Window();
    if (window == nullptr) return;
    std::memset(window, ' ', ringSize);

    if (code != kLz5)
        bits_.Start(archive_, packedSize);
    else
        packedInput_.Start(archive_, packedSize, false);

    switch (code) {
    case kLh1:
    case kLh2: adaptiveHuffman_.Start(code); break;
    case kLh3: lh3_.Start(); break;
    case kLz5: lz5_.Start(window); break;
    case kLzs: break;
    default: staticHuffman_.Start(code); break;  // -lh4- .. -lh7-
    }
    Run(code, window, ringSize, unpackedSize);
}

// One method's next literal (0..255) or match (256 and up: the length plus
// the method's bias).
unsigned Decoder::DecodeChar(MethodCode code) {
    switch (code) {
    case kLh1:
    case kLh2: return adaptiveHuffman_.DecodeChar();
    case kLh3: return lh3_.DecodeChar();
    case kLzs: return lzs_.DecodeChar();
    case kLz5: return lz5_.DecodeChar();
    default: return staticHuffman_.DecodeChar();
    }
}

// The distance of the match just read, less one.  produced counts the bytes
// before the match, ringIndex is the write position's index in the ring.
unsigned Decoder::DecodePosition(MethodCode code, uint64_t produced, uint32_t ringIndex) {
    switch (code) {
    case kLh1:
    case kLh2:
        return adaptiveHuffman_.DecodePosition(produced < 0xFFFFFFFF ? static_cast<uint32_t>(produced)
                                                                     : 0xFFFFFFFF);
    case kLh3: return lh3_.DecodePosition();
    case kLzs: return lzs_.DecodePosition(ringIndex);
    case kLz5: return lz5_.DecodePosition(ringIndex);
    default: return staticHuffman_.DecodePosition();
    }
}

// The window is the ring, unrolled: its first ringSize bytes are the ring's
// initial contents, and the output follows them.  Bytes are written out in
// blocks of the ring size, as a ring would write them whenever it fills, and
// once more up to the write position at the end.  A match is always a
// forward copy from at most ringSize bytes back, whatever the ring index,
// and may overrun its end: the window ahead of the write position holds
// nothing.  Whenever the window has been written out up to its end, its last
// ringSize bytes and any bytes behind them slide back to the start.
// The last match is copied whole, so corrupt data can make the output longer
// than expected; the caller's CRC check then fails.
void Decoder::Run(MethodCode code, uint8_t* window, uint32_t ringSize, uint32_t expected) {
    const unsigned bias = code == kLzs ? kLzsMatchBias : kMatchBias;
    const bool fast = code >= kLh4 && code <= kLh7;
    const uint32_t mask = ringSize - 1;  // every ring size is a power of two
    const uint32_t slide = WindowSlide(ringSize);
    uint8_t* const slideAt = window + ringSize + slide;
    uint8_t* out = window + ringSize;  // ring index 0
    uint8_t* flushed = out;            // the first byte not written out
    uint64_t produced = 0;             // 64 bits: a last match must not wrap the count past a 4 GiB size
    if (expected == 0) return;

    for (;;) {
        // Decode up to the next full ring or the expected size.
        uint8_t* limit = flushed + ringSize;
        if (expected - produced < static_cast<uint64_t>(limit - out)) limit = out + (expected - produced);
        uint8_t* const start = out;
        while (out < limit) {
            if (Aborted()) return;  // bytes not yet written out are dropped
            if (fast) {
                out = staticHuffman_.DecodeFast(out, limit, mask);
                if (out >= limit) break;
            }
            // Ring stores through a byte type of its own: a plain uint8_t
            // store may alias anything, which would make the compiler reload
            // every decoder state variable after each byte.
            const unsigned c = DecodeChar(code);
            if (c < 256) {
                *reinterpret_cast<RingByte*>(out++) = static_cast<RingByte>(c);
            } else {
                const uint32_t length = c - bias;
                const uint32_t p = DecodePosition(code, produced + (out - start), (out - window) & mask);
                CopyMatch(out, (p & mask) + 1, length);
                out += length;
            }
        }
        produced += out - start;
        if (out - flushed >= static_cast<ptrdiff_t>(ringSize)) {
            WriteOutput(flushed, ringSize);
            flushed += ringSize;
        }
        if (produced >= expected) {
            if (out > flushed) WriteOutput(flushed, out - flushed);
            return;
        }
        if (flushed == slideAt) {
            std::memmove(window, window + slide, out - (window + slide));
            out -= slide;
            flushed -= slide;
        }
    }
}

}  // namespace lzh
