#include "app/crc32.h"

#include <array>

namespace {

// Entry n is n shifted right eight times, XOR-ed with 0xEDB88320 whenever the
// bit shifted out was 1.  Built at compile time: read-only data, no set-up.
constexpr std::array<uint32_t, 256> MakeCrc32Table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t r = n;
        for (int bit = 0; bit < 8; bit++)
            r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
        table[n] = r;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrc32Table = MakeCrc32Table();

}  // namespace

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; i++)
        crc = (crc >> 8) ^ kCrc32Table[(crc ^ bytes[i]) & 0xFF];
    return crc;
}
