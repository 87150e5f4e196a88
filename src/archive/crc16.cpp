#include "archive/crc16.h"

#include <array>

namespace lzh {
namespace {

// kTable[i] is the CRC of the byte i: i shifted right eight times, XOR-ed
// with 0xA001 whenever the bit shifted out was 1.  Built at compile time: it
// lives in read-only data and needs no start-up call.
constexpr std::array<uint16_t, 256> MakeCrc16Table() {
    std::array<uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; i++) {
        unsigned r = i;
        for (int bit = 0; bit < 8; bit++)
            r = (r & 1) ? (r >> 1) ^ 0xA001u : r >> 1;
        t[i] = static_cast<uint16_t>(r);
    }
    return t;
}

constexpr std::array<uint16_t, 256> kTable = MakeCrc16Table();

}  // namespace

uint16_t UpdateCrc16(uint16_t crc, const uint8_t* bytes, size_t count) {
    unsigned r = crc;
    for (; count > 0; count--, bytes++)
        r = kTable[(r ^ *bytes) & 0xFF] ^ (r >> 8);
    return static_cast<uint16_t>(r);
}

void Crc16Slices::Init() {
    for (unsigned i = 0; i < 256; i++) {
        unsigned r = kTable[i];
        table_[0][i] = static_cast<uint16_t>(r);
        for (unsigned k = 1; k < kSlices; k++) {
            r = kTable[r & 0xFF] ^ (r >> 8);  // one more zero byte
            table_[k][i] = static_cast<uint16_t>(r);
        }
    }
}

// Slicing by 16: the 16-bit register meets only the first two bytes of a
// block, so the sixteen look-ups do not wait for one another.
uint16_t Crc16Slices::Update(uint16_t crc, const uint8_t* bytes, size_t count) const {
    unsigned r = crc;
    for (; count >= 16; count -= 16, bytes += 16) {
        r = table_[15][(r ^ bytes[0]) & 0xFF] ^ table_[14][((r >> 8) ^ bytes[1]) & 0xFF] ^
            table_[13][bytes[2]] ^ table_[12][bytes[3]] ^ table_[11][bytes[4]] ^
            table_[10][bytes[5]] ^ table_[9][bytes[6]] ^ table_[8][bytes[7]] ^
            table_[7][bytes[8]] ^ table_[6][bytes[9]] ^ table_[5][bytes[10]] ^
            table_[4][bytes[11]] ^ table_[3][bytes[12]] ^ table_[2][bytes[13]] ^
            table_[1][bytes[14]] ^ table_[0][bytes[15]];
    }
    for (; count > 0; count--, bytes++)
        r = table_[0][(r ^ *bytes) & 0xFF] ^ (r >> 8);
    return static_cast<uint16_t>(r);
}

}  // namespace lzh
