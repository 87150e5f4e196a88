// Helpers of the encoder's tests: an archive in memory, generated data of
// every kind, and reading an archive back with the project's reader and
// decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/header.h"
#include "encode/archive_writer.h"
#include "test_support.h"

// A seekable archive in memory; Write fails past failAt bytes.
class MemoryOutput final : public lzh::ArchiveOutput {
public:
    bool Write(const uint8_t* bytes, size_t count) override;
    bool Seek(uint64_t position) override;
    uint64_t Position() const override { return position_; }

    Bytes bytes;
    uint64_t failAt = UINT64_MAX;

private:
    uint64_t position_ = 0;
};

// Bytes the heap holds (every thread's).
uint64_t HeapInUse();

// Data of a kind: "zero", "run" (runs of random lengths), "random",
// "text" (words), "binary" (a structured mix: tables, small integers,
// repeats at all distances), "period" (a 5,000-byte pattern repeated,
// matches far back), "bytes" (every value in turn).
Bytes MakeData(const std::string& kind, size_t size, uint32_t seed = 1);

struct ReadEntry {
    lzh::EntryHeader header;
    Bytes data;
    lzh::DecodeOutcome outcome;  // kOk for a folder
    std::u16string wideFile;     // the UTF-16 names (lzh::WideNames)
    std::u16string wideFolder;
    uint32_t codePage;
};

// Every entry of the archive, decoded; the reader's reports and whether the
// archive ended with its end mark right after the last entry.
struct ReadArchive {
    std::vector<ReadEntry> entries;
    std::vector<std::string> reports;
    bool endMark = false;
};
ReadArchive ReadBack(const Bytes& archive);

// Packs (name, data) files with the options; fails the test on an error.
Bytes PackFiles(const std::vector<std::pair<std::string, Bytes>>& files, const lzh::EncodeOptions& options);
