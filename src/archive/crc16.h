// CRC-16/ARC as used by LHA: reflected polynomial 0xA001, initial value 0,
// no final XOR.  Check value for "123456789" is 0xBB3D.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh {

// Folds count bytes into crc, one at a time, and returns the new register
// value.  For headers and other short runs.
uint16_t UpdateCrc16(uint16_t crc, const uint8_t* bytes, size_t count);

// The same CRC, sixteen bytes at a time, for decoded output.  The 8 KiB of
// tables are built at run time by Init, so that they can live with the
// decoder on the heap rather than in the module's file.
class Crc16Slices {
public:
    static constexpr unsigned kSlices = 16;

    void Init();
    uint16_t Update(uint16_t crc, const uint8_t* bytes, size_t count) const;

private:
    // table_[k][i]: the CRC of the byte i followed by k zero bytes.
    uint16_t table_[kSlices][256];
};

}  // namespace lzh
