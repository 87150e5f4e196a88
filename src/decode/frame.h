// The decoder frame: one sliding-dictionary loop for every method, with the
// per-method entropy decoders supplying literals, match lengths and
// distances, and one output writer that keeps the CRC-16, counts the bytes
// of the whole run and reports progress.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "archive/crc16.h"
#include "archive/reporter.h"
#include "decode/adaptive_huffman.h"
#include "decode/bit_input.h"
#include "decode/huffman_table.h"
#include "decode/lh3.h"
#include "decode/lzss.h"
#include "decode/outcome.h"
#include "archive/lha_format.h"
#include "decode/static_huffman.h"

namespace lzh {

// Where decoded bytes go: a file in the module and lzhtool, memory in tests.
class OutputSink {
public:
    // Writes count bytes; false when they could not all be written.
    virtual bool Write(const uint8_t* bytes, size_t count) = 0;
    // Called after every write with the bytes of the whole run so far.
    virtual void Progress(uint32_t outputTotal) { (void)outputTotal; }

protected:
    ~OutputSink() = default;
};

class Decoder {
public:
    Decoder(FILE* archive, OutputSink& output, std::atomic<int32_t>& abortState);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Decodes (or copies) one entry from the archive stream's position into
    // the output and judges it against the header's unpacked size and
    // CRC-16.  An unknown method writes nothing.  A bad code table, or a
    // stream that asks for more than kPackedSlack bytes past its packed data
    // or the end of the file, stops the entry there, writing nothing more;
    // the run goes on with the next entry.  A failed write or allocation
    // sets the abort state to -1, a cancel (the abort state set by the
    // caller) stops the entry: the run ends.
    DecodeOutcome DecodeEntry(MethodCode code, uint32_t packedSize, uint32_t unpackedSize, uint16_t crc16);
    static constexpr uint32_t kPackedSlack = 32;

    // Writes a run of output bytes unless the run is aborted; returns the
    // count written, or 0.  A failed write sets the abort state to -1.
    size_t WriteOutput(const uint8_t* bytes, size_t count);

    uint16_t runningCrc16 = 0;  // CRC-16 of the entry's bytes written so far
    uint32_t outputTotal = 0;   // bytes written during the whole run

private:
    void Decode(MethodCode code, uint32_t packedSize, uint32_t unpackedSize);
    void CopyStored(uint32_t packedSize);
    void Run(MethodCode code, uint8_t* window, uint32_t ringSize, uint32_t expected);
    unsigned DecodeChar(MethodCode code);
    unsigned DecodePosition(MethodCode code, uint64_t produced, uint32_t ringIndex);
    // The entry's decoding stopped: a fault of its own, or the run's end.
    bool Damaged() const { return fault_ != DecodeOutcome::kOk || packedInput_.overrun() > kPackedSlack; }
    bool Aborted() const { return abortState_.load(std::memory_order_relaxed) != kAbortNone || Damaged(); }
    void Fail(DecodeOutcome fault);
    uint8_t* Window();

    FILE* archive_;
    OutputSink& output_;
    std::atomic<int32_t>& abortState_;
    DecodeOutcome fault_ = DecodeOutcome::kOk;  // a bad table, a failed write or allocation
    uint8_t* window_ = nullptr;                  // the sliding window, kept from entry to entry

    FastCrc16 crc16_;
    ByteInput packedInput_;
    BitInput bits_{packedInput_};
    HuffmanTables tables_{};
    StaticHuffman staticHuffman_{bits_, tables_};
    AdaptiveHuffman adaptiveHuffman_{bits_, tables_};
    Lh3Decoder lh3_{bits_, tables_};
    LzsDecoder lzs_{bits_};
    Lz5Decoder lz5_{packedInput_};
};

}  // namespace lzh
