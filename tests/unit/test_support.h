// Helpers shared by the core's unit tests: in-memory archives, a bit-stream
// writer, and recording implementations of the reporter and output sink.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "archive/reporter.h"
#include "decode/frame.h"

using Bytes = std::vector<uint8_t>;

// A temporary file holding the bytes, positioned at offset 0.  Closed and
// removed by the destructor.
class MemoryFile {
public:
    explicit MemoryFile(const Bytes& bytes);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    FILE* get() const { return file_; }

private:
    FILE* file_;
};

// Writes bits most significant first, as the LHA bit input reads them.
class BitWriter {
public:
    void Put(unsigned value, unsigned count);  // the low `count` bits of value
    void PutBits(const char* text);            // "1100 0110": 0s and 1s, blanks ignored
    Bytes Finish() const;                      // pads the last byte with zeros

private:
    Bytes bytes_;
    unsigned used_ = 0;  // bits used in the last byte
};

class RecordingReporter final : public lzh::Reporter {
public:
    void Report(const char* text) override { texts.emplace_back(text); }
    std::vector<std::string> texts;
};

class MemorySink final : public lzh::OutputSink {
public:
    bool Write(const uint8_t* bytes, size_t count) override {
        writes.push_back(count);
        if (failWrites) return false;
        data.insert(data.end(), bytes, bytes + count);
        return true;
    }
    void Progress(uint32_t total) override { progress.push_back(total >> 10); }

    Bytes data;
    std::vector<size_t> writes;
    std::vector<uint32_t> progress;  // KiB of the run after each write
    bool failWrites = false;
};

// One extended header: type byte and data.
struct ExtHeader {
    uint8_t type;
    Bytes data;
};

// Fields of an entry header to build.
struct HeaderSpec {
    int level = 0;
    std::string method = "-lh0-";
    uint32_t packedSize = 0;  // levels 0 and 2; level 1 adds its extended headers
    uint32_t unpackedSize = 0;
    uint32_t timeStamp = 0;
    uint8_t attribute = 0x20;
    std::string name;  // base-header name (levels 0 and 1)
    uint16_t crc16 = 0;
    std::vector<ExtHeader> exts;  // levels 1 and 2
    bool headerCrc = false;       // levels 1 and 2: add a 0x00 header with the right CRC
};

// The bytes of an entry header with a correct checksum (levels 0/1) and,
// when asked, a correct header CRC.
Bytes BuildHeader(const HeaderSpec& spec);

// Decodes `packed` with the given method into a memory sink, judged against
// unpackedSize and crc16.
struct DecodeResult {
    Bytes data;
    uint16_t crc16;
    int32_t abortState;
    lzh::DecodeOutcome outcome;
    std::vector<size_t> writes;
    std::vector<uint32_t> progress;
};
DecodeResult Decode(lzh::MethodCode code, const Bytes& packed, uint32_t unpackedSize, uint16_t crc16 = 0);

uint16_t Crc16Of(const Bytes& bytes);
