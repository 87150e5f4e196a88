#include "archive/crc16.h"

#include <array>

namespace lzh {
namespace {

// kTables[0][i] is the CRC of the byte i: i shifted right eight times,
// XOR-ed with 0xA001 whenever the bit shifted out was 1.  kTables[k][i] is
// the CRC of the byte i followed by k zero bytes, so that sixteen bytes can
// be folded in at once (slicing by 16: the register meets only the first two
// of them, so sixteen look-ups run side by side).  Built at compile time: the
// tables live in read-only data and need no start-up call.
// LZH_CRC16_ONE_TABLE keeps only kTables[0] and folds one byte at a time:
// the self-extracting module trades that speed for 7.5 KiB of file size.
#ifdef LZH_CRC16_ONE_TABLE
constexpr unsigned kTableCount = 1;
#else
constexpr unsigned kTableCount = 16;
#endif
using Crc16Tables = std::array<std::array<uint16_t, 256>, kTableCount>;

constexpr Crc16Tables MakeCrc16Tables() {
    Crc16Tables t{};
    for (unsigned i = 0; i < 256; i++) {
        unsigned r = i;
        for (int bit = 0; bit < 8; bit++)
            r = (r & 1) ? (r >> 1) ^ 0xA001u : r >> 1;
        t[0][i] = static_cast<uint16_t>(r);
    }
    for (unsigned k = 1; k < kTableCount; k++)
        for (unsigned i = 0; i < 256; i++)
            t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
    return t;
}

constexpr Crc16Tables kTables = MakeCrc16Tables();

}  // namespace

uint16_t UpdateCrc16(uint16_t crc, const uint8_t* bytes, size_t count) {
    unsigned r = crc;
#ifndef LZH_CRC16_ONE_TABLE
    for (; count >= 16; count -= 16, bytes += 16) {
        r = kTables[15][(r ^ bytes[0]) & 0xFF] ^ kTables[14][((r >> 8) ^ bytes[1]) & 0xFF] ^
            kTables[13][bytes[2]] ^ kTables[12][bytes[3]] ^ kTables[11][bytes[4]] ^
            kTables[10][bytes[5]] ^ kTables[9][bytes[6]] ^ kTables[8][bytes[7]] ^
            kTables[7][bytes[8]] ^ kTables[6][bytes[9]] ^ kTables[5][bytes[10]] ^
            kTables[4][bytes[11]] ^ kTables[3][bytes[12]] ^ kTables[2][bytes[13]] ^
            kTables[1][bytes[14]] ^ kTables[0][bytes[15]];
    }
#endif
    for (; count > 0; count--, bytes++)
        r = kTables[0][(r ^ *bytes) & 0xFF] ^ (r >> 8);
    return static_cast<uint16_t>(r);
}

}  // namespace lzh
