#include "archive/crc16.h"

#include <array>

namespace lzh {
namespace {

// Entry i is i shifted right eight times, XOR-ed with 0xA001 whenever the bit
// shifted out was 1.  Built at compile time so that the table lives in
// read-only data and needs no start-up call.
constexpr std::array<uint16_t, 256> MakeCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; i++) {
        unsigned r = i;
        for (int bit = 0; bit < 8; bit++)
            r = (r & 1) ? (r >> 1) ^ 0xA001u : r >> 1;
        table[i] = static_cast<uint16_t>(r);
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrc16Table = MakeCrc16Table();

}  // namespace

uint16_t UpdateCrc16(uint16_t crc, const uint8_t* bytes, size_t count) {
    unsigned r = crc;
    for (size_t i = 0; i < count; i++)
        r = kCrc16Table[(r ^ bytes[i]) & 0xFF] ^ (r >> 8);
    return static_cast<uint16_t>(r);
}

}  // namespace lzh
