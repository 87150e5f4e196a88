#include "package/crc32.h"

namespace {

// Entry n is n shifted right eight times, XOR-ed with 0xEDB88320 whenever the
// bit shifted out was 1.
constexpr uint32_t Crc32TableEntry(uint32_t n) {
    for (int bit = 0; bit < 8; bit++) n = (n & 1) ? (n >> 1) ^ 0xEDB88320u : n >> 1;
    return n;
}

constexpr Crc32Table MakeConstantTable() {
    Crc32Table table{};
    for (uint32_t n = 0; n < 256; n++) table.entries[n] = Crc32TableEntry(n);
    return table;
}

constexpr Crc32Table kCrc32Table = MakeConstantTable();

}  // namespace

void MakeCrc32Table(Crc32Table& table) {
    for (uint32_t n = 0; n < 256; n++) table.entries[n] = Crc32TableEntry(n);
}

uint32_t UpdateCrc32(const Crc32Table& table, uint32_t crc, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; i++) crc = (crc >> 8) ^ table.entries[(crc ^ bytes[i]) & 0xFF];
    return crc;
}

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* bytes, size_t count) {
    return UpdateCrc32(kCrc32Table, crc, bytes, count);
}
