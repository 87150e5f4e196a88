#include "decode/bit_input.h"

namespace lzh {

uint8_t ByteInput::Refill() {
    if (limited_ && remaining_ == 0) {
        overrun_++;
        return 0;
    }
    uint32_t want = sizeof buffer_ - kHistory;
    if (limited_ && want > remaining_) want = remaining_;
    std::memmove(buffer_, buffer_ + end_ - kHistory, kHistory);
    pos_ = end_ = kHistory;
    const uint32_t got = static_cast<uint32_t>(std::fread(buffer_ + kHistory, 1, want, file_));
    if (got == 0) {
        fileEnded_ = true;
        if (limited_) remaining_--;
        overrun_++;
        return 0xFF;
    }
    if (limited_) remaining_ -= got;
    pos_ = kHistory + 1;
    end_ = kHistory + got;
    return buffer_[kHistory];
}

}  // namespace lzh
