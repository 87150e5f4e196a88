// CRC-32 as in ZIP (CRC-32/ISO-HDLC): reflected polynomial 0xEDB88320, register
// starting at 0xFFFFFFFF, complemented at the end.  Check value for
// "123456789" is 0xCBF43926.  Portable: used by the module's whole-archive
// check and by the packager's builder that computes the expected value.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kCrc32Start = 0xFFFFFFFFu;

// The tables of the slice-by-8 algorithm, which folds eight bytes per step.
// Table k (entries k * 256 to k * 256 + 255) holds the register that each
// byte leaves when k zero bytes follow it; table 0 is the byte-wise table.
struct Crc32Table {
    uint32_t entries[8 * 256];
};

// Fills table at run time: the module keeps its 8 KiB on the heap during
// its one check rather than in its file.
void MakeCrc32Table(Crc32Table& table);

// Folds count bytes into the register crc and returns the new register.
uint32_t UpdateCrc32(const Crc32Table& table, uint32_t crc, const uint8_t* bytes, size_t count);

// The same with a table built at compile time.
uint32_t UpdateCrc32(uint32_t crc, const uint8_t* bytes, size_t count);

// The finished CRC-32 of a register: its complement.
inline uint32_t FinishCrc32(uint32_t crc) { return ~crc; }

// CRC-32 of one whole buffer.
inline uint32_t Crc32(const uint8_t* bytes, size_t count) {
    return FinishCrc32(UpdateCrc32(kCrc32Start, bytes, count));
}
