// CRC-16/ARC as used by LHA: reflected polynomial 0xA001, initial value 0,
// no final XOR.  Check value for "123456789" is 0xBB3D.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh {

// Folds count bytes into crc, bit by bit, and returns the new register
// value.  For headers and other short runs: long ones take FastCrc16.
uint16_t UpdateCrc16(uint16_t crc, const uint8_t* bytes, size_t count);

// The same CRC for long runs (decoded output): on x86-64 processors that
// multiply without carries, by folding 64 bytes at a time; otherwise by
// slicing, sixteen bytes at a time.  The slicing's 8 KiB of tables are
// built at run time by Init, so that they can live with the decoder on the
// heap rather than in the module's file.
class FastCrc16 {
public:
    static constexpr unsigned kSlices = 16;

    void Init();
    uint16_t Update(uint16_t crc, const uint8_t* bytes, size_t count) const;
    // Slicing alone, whatever the processor.
    uint16_t UpdateSliced(uint16_t crc, const uint8_t* bytes, size_t count) const;

private:
    // table_[k][i]: the CRC of the byte i followed by k zero bytes.
    uint16_t table_[kSlices][256];
    bool clmul_ = false;
};

}  // namespace lzh
