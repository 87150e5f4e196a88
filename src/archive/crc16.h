// CRC-16/ARC as used by LHA: reflected polynomial 0xA001, initial value 0,
// no final XOR.  Check value for "123456789" is 0xBB3D.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh {

// Folds count bytes into crc and returns the new register value.
uint16_t UpdateCrc16(uint16_t crc, const uint8_t* bytes, size_t count);

}  // namespace lzh
