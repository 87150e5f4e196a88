// Pieces shared by the fuzz targets: the input as a FILE*, a reporter that
// keeps the fault texts, an output sink that counts and checksums what the
// decoder writes, and a check that stops the run with a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "archive/reporter.h"
#include "decode/frame.h"

// Like assert, but never compiled out: a broken invariant is a finding.
#define FUZZ_CHECK(cond)                                           \
    do {                                                           \
        if (!(cond)) fuzz::CheckFailed(#cond, __FILE__, __LINE__); \
    } while (0)

namespace fuzz {

[[noreturn]] void CheckFailed(const char* what, const char* file, int line);

// Most bytes a decoder is asked to produce for one entry, and for one input.
// Enough to wrap every ring several times; small enough that a run measures
// faults rather than multi-gigabyte decodes.
constexpr uint32_t kMaxUnpacked = 256 * 1024;
constexpr uint32_t kMaxOutputPerInput = 1024 * 1024;

// The longest match any method can code: the -lh2-/-lh3- escape, 285 + 255
// less the bias 253.
constexpr uint32_t kLongestMatch = 287;

// A private copy of the input, opened as a read-only stream (glibc's
// fmemopen; it accepts an empty buffer).
class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    FILE* file() const { return file_; }
    size_t size() const { return size_; }
    const uint8_t* bytes() const { return bytes_; }

private:
    uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
    FILE* file_ = nullptr;
};

// Counts the header reader's fault texts and checks that each is one it may
// report (the decoders judge entries through their outcome instead).
class RecordingReporter final : public lzh::Reporter {
public:
    void Report(const char* text) override;
    void Clear() { invalidHeader = 0; }

    int invalidHeader = 0;  // "invalid header."
};

// Keeps the count and CRC-16 of the bytes written; the bytes themselves are
// dropped.  A write past what the entry may produce is a finding.  It can
// also refuse its first write, as a full disk would.
class CountingSink final : public lzh::OutputSink {
public:
    bool Write(const uint8_t* bytes, size_t count) override;
    void Reset(uint64_t limit, bool refuseFirstWrite) {
        written = 0;
        crc16 = 0;
        writeLimit = limit;
        refuseNext = refuseFirstWrite;
        refused = false;
    }

    uint64_t written = 0;
    uint16_t crc16 = 0;
    uint64_t writeLimit = 0;
    bool refuseNext = false;
    bool refused = false;  // a write was refused
};

// Lead-byte predicates for the header reader: Shift-JIS as the tools use,
// and one that takes every byte for a lead byte, the hardest case for the
// separator walk.
bool ShiftJisLead(unsigned char byte);
bool EveryByteLead(unsigned char byte);

}  // namespace fuzz
