// Compresses one entry's data with -lh5-, -lh6- or -lh7-, or stores it
// (-lh0-) when it would not shrink.  The entry is cut into segments
// (SegmentEncoder), compressed on the threads of a runner when one is
// given, and their blocks are joined in order, so the packed data is the
// same whatever the number of threads.
#pragma once

#include <cstdint>

#include "archive/lha_format.h"
#include "encode/bit_output.h"
#include "encode/encode_io.h"
#include "encode/input_reader.h"
#include "encode/segment_encoder.h"
#include "encode/task_runner.h"

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
    // Segments compressed at once at most, whatever the runner offers.
    static constexpr unsigned kMaxSlots = 16;

    EntryEncoder() = default;
    ~EntryEncoder();
    EntryEncoder(const EntryEncoder&) = delete;
    EntryEncoder& operator=(const EntryEncoder&) = delete;

    // Entries longer than one segment are compressed on the runner's
    // threads (nullptr: on the calling thread).
    void SetRunner(TaskRunner* runner) { runner_ = runner; }

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

    bool Reserve(bool best, unsigned slots);
    void Release();
    void ReleaseSlots(unsigned first);
    EncodeStatus Store(EncodeInput& input, uint32_t size, EncodedEntry& result);
    Outcome Compress(EncodeInput& input, uint32_t size, MethodCode method, bool best, unsigned slots);
    bool ReadSegment(SegmentEncoder& into, const SegmentEncoder* previous, uint32_t count);
    Outcome Join(SegmentEncoder& segment);
    Outcome WriteFinalBlock(SegmentEncoder& segment);
    bool Drain();

    void Submit(SegmentEncoder& segment);
    void Wait(SegmentEncoder& segment);

    TaskRunner* runner_ = nullptr;
    TaskRunner* active_ = nullptr;  // the runner, while an entry uses several slots
    SegmentEncoder* slots_[kMaxSlots] = {};
    InputReader reader_;
    bool readerReady_ = false;
    BitOutput bits_;
    uint8_t* outBuffer_ = nullptr;
    EntropyTable entropy_;  // the slots' splitters share it
    ArchiveOutput* output_ = nullptr;
    EncodeStatus status_ = EncodeStatus::kOk;
    uint64_t bitLimit_ = 0;  // most bits the packed data may take and still shrink
    uint32_t dictionary_ = 0;
};

}  // namespace lzh
