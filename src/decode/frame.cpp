#include "decode/frame.h"

#include <cstdlib>
#include <cstring>

#include "archive/crc16.h"

namespace lzh {
namespace {

constexpr uint32_t kStoredChunk = 32768;
constexpr uint32_t kCopyToEnd = 0xFFFFFFFF;  // stored packed size meaning "up to the end of file"

enum class RingByte : uint8_t {};

// Adapters that give every method the same two calls.  DecodePosition gets
// the bytes decoded before the current match and the ring's write position.
struct StaticHuffmanCodec {
    StaticHuffman& d;
    uint16_t DecodeChar() { return d.DecodeChar(); }
    uint16_t DecodePosition(uint32_t, uint32_t) { return d.DecodePosition(); }
};
struct AdaptiveHuffmanCodec {
    AdaptiveHuffman& d;
    uint16_t DecodeChar() { return d.DecodeChar(); }
    uint16_t DecodePosition(uint32_t produced, uint32_t) { return d.DecodePosition(produced); }
};
struct Lh3Codec {
    Lh3Decoder& d;
    uint16_t DecodeChar() { return d.DecodeChar(); }
    uint16_t DecodePosition(uint32_t, uint32_t) { return d.DecodePosition(); }
};
struct LzsCodec {
    LzsDecoder& d;
    uint16_t DecodeChar() { return d.DecodeChar(); }
    uint16_t DecodePosition(uint32_t, uint32_t ringPosition) { return d.DecodePosition(ringPosition); }
};
struct Lz5Codec {
    Lz5Decoder& d;
    uint16_t DecodeChar() { return d.DecodeChar(); }
    uint16_t DecodePosition(uint32_t, uint32_t ringPosition) { return d.DecodePosition(ringPosition); }
};

}  // namespace

Decoder::Decoder(FILE* archive, OutputSink& output, Reporter& reporter,
                 std::atomic<int32_t>& abortState)
    : archive_(archive), output_(output), abortState_(abortState) {
    tables_.reporter = &reporter;
    tables_.abortState = &abortState;
}

size_t Decoder::WriteOutput(const uint8_t* bytes, size_t count) {
    if (Aborted()) return 0;
    if (!output_.Write(bytes, count)) {
        abortState_.store(kAbortFailed, std::memory_order_relaxed);
        return 0;
    }
    runningCrc16 = UpdateCrc16(runningCrc16, bytes, count);
    outputTotal += static_cast<uint32_t>(count);
    output_.Progress(outputTotal);
    return count;
}

// Copies the packed bytes as they are; the unpacked size is not consulted.
// Stops early at the end of the file.
void Decoder::CopyStored(uint32_t packedSize) {
    uint8_t chunk[kStoredChunk];
    uint32_t remaining = packedSize;
    while (packedSize == kCopyToEnd || remaining > 0) {
        uint32_t want = kStoredChunk;
        if (packedSize != kCopyToEnd && want > remaining) want = remaining;
        const size_t got = std::fread(chunk, 1, want, archive_);
        if (got == 0) return;
        const size_t written = WriteOutput(chunk, got);
        remaining -= static_cast<uint32_t>(written);
        if (Aborted()) return;
    }
}

void Decoder::DecodeEntry(MethodCode code, uint32_t packedSize, uint32_t unpackedSize) {
    if (code == kLh0 || code == kLz4) {
        CopyStored(packedSize);
        return;
    }
    const uint32_t ringSize = RingSizeOf(code);
    if (ringSize == 0) return;  // not decodable: nothing is written

    uint8_t* ring = static_cast<uint8_t*>(std::malloc(ringSize));
    if (ring == nullptr) {
        abortState_.store(kAbortFailed, std::memory_order_relaxed);
        return;
    }
    std::memset(ring, ' ', ringSize);

    if (code != kLz5)
        bits_.Start(archive_, packedSize);
    else
        packedInput_.Start(archive_, packedSize, false);

    switch (code) {
    case kLh1:
    case kLh2: {
        adaptiveHuffman_.Start(code);
        AdaptiveHuffmanCodec codec{adaptiveHuffman_};
        Run(codec, ring, ringSize, 253, unpackedSize);
        break;
    }
    case kLh3: {
        lh3_.Start();
        Lh3Codec codec{lh3_};
        Run(codec, ring, ringSize, 253, unpackedSize);
        break;
    }
    case kLzs: {
        LzsCodec codec{lzs_};
        Run(codec, ring, ringSize, 254, unpackedSize);
        break;
    }
    case kLz5: {
        lz5_.Start(ring);
        Lz5Codec codec{lz5_};
        Run(codec, ring, ringSize, 253, unpackedSize);
        break;
    }
    default: {  // -lh4- .. -lh7-
        staticHuffman_.Start(code);
        StaticHuffmanCodec codec{staticHuffman_};
        Run(codec, ring, ringSize, 253, unpackedSize);
        break;
    }
    }
    std::free(ring);
}

// The ring is the dictionary and the output buffer at once: it is written
// out whenever it fills, and once more up to the write position at the end.
// The last match is copied whole, so corrupt data can make the output longer
// than expected; the caller's CRC check then fails.
template <class Codec>
void Decoder::Run(Codec& codec, uint8_t* ring, uint32_t ringSize, unsigned bias, uint32_t expected) {
    const uint32_t mask = ringSize - 1;  // every ring size is a power of two
    // Ring stores through a byte type of its own: a plain uint8_t store may
    // alias anything, which would make the compiler reload every decoder
    // state variable after each byte.
    RingByte* const bytes = reinterpret_cast<RingByte*>(ring);
    uint32_t position = 0;
    uint64_t produced = 0;  // 64 bits: a last match must not wrap the count past a 4 GiB size
    if (expected == 0) return;

    for (;;) {
        if (Aborted()) return;  // bytes still in the ring are dropped
        const unsigned c = codec.DecodeChar();
        if (c < 256) {
            bytes[position++] = static_cast<RingByte>(c);
            if (position == ringSize) {
                WriteOutput(ring, ringSize);
                position = 0;
            }
            produced++;
        } else {
            const uint32_t length = c - bias;
            const uint32_t before = produced < 0xFFFFFFFF ? static_cast<uint32_t>(produced) : 0xFFFFFFFF;
            const uint32_t distance = codec.DecodePosition(before, position);
            produced += length;
            uint32_t from = (position - distance - 1) & mask;
            if (from + length <= ringSize && position + length < ringSize) {
                // No wrap and no flush: a forward copy.  A source at least 8
                // bytes back moves in 8-byte steps; a nearer one byte by byte,
                // so that it repeats what was just written.  Nothing beyond
                // the match is touched: the ring ahead is still dictionary.
                RingByte* to = bytes + position;
                const RingByte* src = bytes + from;
                uint32_t i = 0;
                if (distance >= 7)
                    for (; i + 8 <= length; i += 8) std::memcpy(to + i, src + i, 8);
                for (; i < length; i++) to[i] = src[i];
                position += length;
            } else {
                for (uint32_t i = 0; i < length; i++) {
                    bytes[position++] = bytes[from];
                    from = (from + 1) & mask;
                    if (position == ringSize) {
                        WriteOutput(ring, ringSize);
                        position = 0;
                    }
                }
            }
        }
        if (produced >= expected) {
            if (position > 0) WriteOutput(ring, position);
            return;
        }
    }
}

}  // namespace lzh
