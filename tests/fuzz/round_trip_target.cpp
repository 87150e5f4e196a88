// Fuzz target: the encoder.  The data must come back byte for byte through
// the project's decoder, with the CRC-16 and packed size the encoder
// reported, whatever it is.
//
//   byte 0     bits 0-1: -lh5-, -lh6-, -lh7-, -lh7-; bit 2: best level;
//              bits 3-7: the data is taken this many times more (long
//              matches and window edges from short inputs)
//   bytes 1-   the data (at most 256 KiB once repeated)
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/crc16.h"
#include "decode/frame.h"
#include "encode/entry_encoder.h"
#include "fuzz_support.h"

namespace {

constexpr size_t kMaxData = 256 * 1024;

class VectorOutput final : public lzh::ArchiveOutput {
public:
    bool Write(const uint8_t* data, size_t count) override {
        if (bytes.size() < position + count) bytes.resize(position + count);
        std::memcpy(bytes.data() + position, data, count);
        position += count;
        return true;
    }
    bool Seek(uint64_t to) override {
        FUZZ_CHECK(to <= bytes.size());
        position = to;
        return true;
    }
    uint64_t Position() const override { return position; }
    std::vector<uint8_t> bytes;
    uint64_t position = 0;
};

class VectorSink final : public lzh::OutputSink {
public:
    bool Write(const uint8_t* data, size_t count) override {
        bytes.insert(bytes.end(), data, data + count);
        return true;
    }
    std::vector<uint8_t> bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size == 0) return 0;
    static const lzh::MethodCode kMethods[] = {lzh::kLh5, lzh::kLh6, lzh::kLh7, lzh::kLh7};
    const lzh::MethodCode method = kMethods[input[0] & 3];
    const bool best = (input[0] & 4) != 0;
    const unsigned copies = 1 + (input[0] >> 3);
    std::vector<uint8_t> data;
    for (unsigned i = 0; i < copies && data.size() + size - 1 <= kMaxData; i++)
        data.insert(data.end(), input + 1, input + size);

    // One encoder for every input, as an archive reuses it for every entry.
    static lzh::EntryEncoder encoder;
    VectorOutput packed;
    lzh::MemoryInput source(data.data(), data.size());
    lzh::EncodedEntry entry;
    FUZZ_CHECK(encoder.Encode(source, static_cast<uint32_t>(data.size()), method, best, packed, entry) ==
               lzh::EncodeStatus::kOk);
    FUZZ_CHECK(entry.packedSize == packed.bytes.size());
    FUZZ_CHECK(entry.crc16 == lzh::UpdateCrc16(0, data.data(), data.size()));
    FUZZ_CHECK(entry.method == lzh::kLh0 ? entry.packedSize == data.size() : entry.packedSize < data.size());
    FUZZ_CHECK(entry.method == lzh::kLh0 || entry.method == method);

    fuzz::MemoryFile file(packed.bytes.data(), packed.bytes.size());
    VectorSink sink;
    std::atomic<int32_t> abortState{lzh::kAbortNone};
    auto decoder = std::make_unique<lzh::Decoder>(file.file(), sink, abortState);
    FUZZ_CHECK(decoder->DecodeEntry(entry.method, entry.packedSize, static_cast<uint32_t>(data.size()),
                                    entry.crc16) == lzh::DecodeOutcome::kOk);
    FUZZ_CHECK(abortState.load() == lzh::kAbortNone);
    FUZZ_CHECK(sink.bytes == data);
    return 0;
}
