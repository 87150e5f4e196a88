#include "package/crc32.h"

namespace {

// Entry n of the byte-wise table: n shifted right eight times, XOR-ed with
// 0xEDB88320 whenever the bit shifted out was 1.
constexpr uint32_t Crc32TableEntry(uint32_t n) {
    for (int bit = 0; bit < 8; bit++) n = (n & 1) ? (n >> 1) ^ 0xEDB88320u : n >> 1;
    return n;
}

// Each further table is the one before it advanced by one zero byte.
constexpr void FillCrc32Table(Crc32Table& table) {
    uint32_t* e = table.entries;
    for (uint32_t n = 0; n < 256; n++) e[n] = Crc32TableEntry(n);
    for (uint32_t i = 256; i < 8 * 256; i++) e[i] = (e[i - 256] >> 8) ^ e[e[i - 256] & 0xFF];
}

constexpr Crc32Table MakeConstantTable() {
    Crc32Table table{};
    FillCrc32Table(table);
    return table;
}

constexpr Crc32Table kCrc32Table = MakeConstantTable();

}  // namespace

void MakeCrc32Table(Crc32Table& table) { FillCrc32Table(table); }

// A step folds n bytes, eight or the fewer that are left: byte i is looked
// up in table n - 1 - i (the number of bytes after it in the step), the
// register's bytes XOR-ed onto the first four, and what is left of the
// register after n shifts is XOR-ed onto the result.  With n = 1 this is the
// byte-wise algorithm.  One pointer walking down the tables keeps the loop
// small for the module.
uint32_t UpdateCrc32(const Crc32Table& table, uint32_t crc, const uint8_t* bytes, size_t count) {
    const uint32_t* e = table.entries;
    while (count > 0) {
        const size_t n = count < 8 ? count : 8;
        count -= n;
        uint32_t folded = 0;
        for (const uint32_t* t = e + n * 256; t != e; crc >>= 8) {
            t -= 256;
            folded ^= t[(crc ^ *bytes++) & 0xFF];
        }
        crc ^= folded;
    }
    return crc;
}

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* bytes, size_t count) {
    return UpdateCrc32(kCrc32Table, crc, bytes, count);
}
