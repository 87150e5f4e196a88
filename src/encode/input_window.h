// The bytes of the entry being compressed: at least one dictionary of
// history before the coding position and the lookahead behind it.  Every
// byte read is folded into the entry's CRC-16; an entry that turns out
// longer or shorter than its announced size is an error.
#pragma once

#include <cstdint>

#include "archive/crc16.h"
#include "encode/encode_io.h"

namespace lzh {

class InputWindow {
public:
    // Bytes readable behind `end` without a bounds check (match comparisons
    // read whole words); always zero.
    static constexpr uint32_t kPadding = 16;

    enum class State { kReading, kDone, kReadError, kSizeChanged };

    // capacity = two of the largest dictionary, the most the caller asks
    // for at once, and the padding.
    bool Allocate(uint32_t largestDictionary, uint32_t largestRequest);
    void Free();

    void Start(EncodeInput& input, uint32_t size, uint32_t dictionary);

    // Reads until `wanted` bytes stand at and behind pos or the input has
    // ended.  When the buffer is full it first moves its contents down by a
    // multiple of the dictionary size, keeping at least one dictionary
    // before pos, and returns that shift: the caller subtracts it from
    // every position it holds.  Check state() afterwards.
    uint32_t Fill(uint32_t pos, uint32_t wanted);

    uint8_t* data() const { return data_; }
    uint32_t end() const { return end_; }
    bool AtEnd() const { return state_ == State::kDone; }
    State state() const { return state_; }
    uint16_t crc16() const { return crc16_; }
    // The CRC-16 of more bytes, with the window's tables.
    uint16_t UpdateCrc16(uint16_t crc, const uint8_t* bytes, size_t count) const {
        return crcTables_.Update(crc, bytes, count);
    }

private:
    void Read();

    uint8_t* data_ = nullptr;
    uint32_t capacity_ = 0;
    uint32_t end_ = 0;
    uint32_t dictionary_ = 0;
    EncodeInput* input_ = nullptr;
    uint32_t remaining_ = 0;  // bytes of the entry not yet read
    State state_ = State::kDone;
    uint16_t crc16_ = 0;
    FastCrc16 crcTables_;  // built by Allocate
};

}  // namespace lzh
