// -lzs- and -lz5-: plain LZSS without entropy coding.  Both store a match
// position as an absolute dictionary index; DecodePosition turns it into
// the distance the frame expects.
#pragma once

#include <cstdint>

#include "decode/bit_input.h"

namespace lzh {

// -lzs-: flag bit 1 + 8-bit literal, or flag bit 0 + 11-bit position +
// 4-bit length (2..17), in a bit stream.  Ring of 2 KiB, all spaces.
class LzsDecoder {
public:
    explicit LzsDecoder(BitInput& bits) : bits_(bits) {}

    // Literal 0..255, or 256 + length field (the frame subtracts 254).
    uint16_t DecodeChar() {
        if (bits_.GetBits(1)) return bits_.GetBits(8);
        matchPosition_ = bits_.GetBits(11);
        return static_cast<uint16_t>(bits_.GetBits(4) + 256);
    }

    // Stored position p addresses ring index p + 17.
    uint16_t DecodePosition(uint32_t ringPosition) const {
        return static_cast<uint16_t>((ringPosition - 18 - matchPosition_) & 0x7FF);
    }

private:
    BitInput& bits_;
    unsigned matchPosition_ = 0;
};

// -lz5-: one flag byte per eight items (least significant bit first); a
// literal is one byte, a match two (12-bit position, 4-bit length 3..18).
// Bytes come straight from the archive, not counted against the packed size.
// Ring of 4 KiB with a fixed initial pattern.
class Lz5Decoder {
public:
    static constexpr uint32_t kRingSize = 4096;

    explicit Lz5Decoder(ByteInput& input) : input_(input) {}

    // Lays the initial pattern over the frame's spaces: zeros at 0..17, 13
    // copies of every byte value, 0..255 ascending and descending, 128 zeros;
    // the last 110 bytes stay spaces.
    void Start(uint8_t* ring);

    uint16_t DecodeChar() {
        if (flagCount_ == 0) {
            flagCount_ = 8;
            flagByte_ = input_.Next();
        }
        flagCount_--;
        const unsigned b1 = input_.Next();
        unsigned result = b1;
        if ((flagByte_ & 1) == 0) {
            const unsigned b2 = input_.Next();
            matchPosition_ = b1 | (b2 & 0xF0) << 4;
            result = (b2 & 0x0F) + 256;
        }
        flagByte_ >>= 1;
        return static_cast<uint16_t>(result);
    }

    // Stored position p addresses ring index p + 18.
    uint16_t DecodePosition(uint32_t ringPosition) const {
        return static_cast<uint16_t>((ringPosition - 19 - matchPosition_) & 0xFFF);
    }

private:
    ByteInput& input_;
    unsigned flagByte_ = 0;
    unsigned flagCount_ = 0;
    unsigned matchPosition_ = 0;
};

}  // namespace lzh
