// Reads an entry's data piece by piece, exactly its announced size: every
// byte read is folded into the entry's CRC-16, and an entry that turns
// out longer or shorter than announced is an error.
#pragma once

#include <cstdint>

#include "archive/crc16.h"
#include "encode/encode_io.h"

namespace lzh {

class InputReader {
public:
    enum class State { kReading, kDone, kReadError, kSizeChanged };

    void Init() { crcTables_.Init(); }
    void Start(EncodeInput& input, uint32_t size);

    // Reads exactly `count` bytes (no more than remain) into buffer; false
    // with state() telling why when they cannot be read.  After the last
    // byte it checks that nothing follows.
    bool Read(uint8_t* buffer, uint32_t count);

    uint32_t remaining() const { return remaining_; }
    State state() const { return state_; }
    uint16_t crc16() const { return crc16_; }
    // The CRC-16 of more bytes, with the reader's tables.
    uint16_t UpdateCrc16(uint16_t crc, const uint8_t* bytes, size_t count) const {
        return crcTables_.Update(crc, bytes, count);
    }

private:
    EncodeInput* input_ = nullptr;
    uint32_t remaining_ = 0;  // bytes of the entry not yet read
    State state_ = State::kDone;
    uint16_t crc16_ = 0;
    FastCrc16 crcTables_;  // built by Init
};

}  // namespace lzh
