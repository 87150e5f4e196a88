// The PE image checksum as Windows computes it over a whole file
// (CheckSumMappedFile): the file's 16-bit little-endian words added with
// end-around carry, the checksum field itself counted as zero, then the
// file's length added.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pe {

class Checksum {
public:
    // fieldOffset: the file offset of the optional header's checksum field.
    explicit Checksum(uint64_t fieldOffset) : field_(fieldOffset) {}

    // Adds the bytes that lie at `offset` in the file.  Pieces may come in
    // any order and any size, each byte at most once.
    void Add(const uint8_t* bytes, size_t count, uint64_t offset);

    // The checksum of a file of `fileSize` bytes; bytes never added count
    // as zeros.
    uint32_t Finish(uint64_t fileSize) const;

private:
    void AddWords(const uint8_t* bytes, size_t count, uint64_t offset);

    uint64_t field_;
    uint64_t sum_ = 0;  // folded at the end: below 2^47 for a file below 4 GiB
};

// The checksum of a whole file held in memory.
uint32_t FileChecksum(const uint8_t* bytes, size_t size, uint64_t fieldOffset);

}  // namespace pe
