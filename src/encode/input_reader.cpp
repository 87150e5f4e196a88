#include "encode/input_reader.h"

namespace lzh {

void InputReader::Start(EncodeInput& input, uint32_t size) {
    input_ = &input;
    remaining_ = size;
    crc16_ = 0;
    state_ = size == 0 ? State::kDone : State::kReading;
}

bool InputReader::Read(uint8_t* buffer, uint32_t count) {
    if (state_ != State::kReading || count > remaining_) return false;
    while (count > 0) {
        const long got = input_->Read(buffer, count);
        if (got < 0) {
            state_ = State::kReadError;
            return false;
        }
        if (got == 0) {
            state_ = State::kSizeChanged;  // shorter than announced
            return false;
        }
        crc16_ = crcTables_.Update(crc16_, buffer, static_cast<size_t>(got));
        buffer += got;
        count -= static_cast<uint32_t>(got);
        remaining_ -= static_cast<uint32_t>(got);
    }
    if (remaining_ == 0) {
        // Nothing may follow the announced size.
        uint8_t probe;
        const long got = input_->Read(&probe, 1);
        state_ = got < 0 ? State::kReadError : got > 0 ? State::kSizeChanged : State::kDone;
        return state_ == State::kDone;
    }
    return true;
}

}  // namespace lzh
