#include "encode/input_window.h"

#include <cstdlib>
#include <cstring>

#include "archive/crc16.h"

namespace lzh {

bool InputWindow::Allocate(uint32_t largestDictionary, uint32_t largestRequest) {
    const uint32_t capacity = 2 * largestDictionary + largestRequest;
    if (data_ != nullptr && capacity_ >= capacity) return true;
    Free();
    data_ = static_cast<uint8_t*>(std::malloc(capacity + kPadding));
    if (data_ == nullptr) return false;
    capacity_ = capacity;
    crcTables_.Init();
    return true;
}

void InputWindow::Free() {
    std::free(data_);
    data_ = nullptr;
    capacity_ = 0;
}

void InputWindow::Start(EncodeInput& input, uint32_t size, uint32_t dictionary) {
    input_ = &input;
    remaining_ = size;
    dictionary_ = dictionary;
    end_ = 0;
    crc16_ = 0;
    state_ = State::kReading;
    std::memset(data_, 0, kPadding);
}

uint32_t InputWindow::Fill(uint32_t pos, uint32_t wanted) {
    uint32_t shift = 0;
    if (state_ != State::kReading || end_ - pos >= wanted) return 0;
    if (capacity_ - pos < wanted && pos > dictionary_) {
        shift = (pos - dictionary_) & ~(dictionary_ - 1);
        std::memmove(data_, data_ + shift, end_ - shift);
        end_ -= shift;
    }
    Read();
    return shift;
}

// Fills the buffer as far as it goes: few large reads.
void InputWindow::Read() {
    while (end_ < capacity_ && remaining_ > 0) {
        uint32_t count = capacity_ - end_;
        if (count > remaining_) count = remaining_;
        const long got = input_->Read(data_ + end_, count);
        if (got < 0) {
            state_ = State::kReadError;
            return;
        }
        if (got == 0) {
            state_ = State::kSizeChanged;  // shorter than announced
            return;
        }
        crc16_ = crcTables_.Update(crc16_, data_ + end_, static_cast<size_t>(got));
        end_ += static_cast<uint32_t>(got);
        remaining_ -= static_cast<uint32_t>(got);
    }
    std::memset(data_ + end_, 0, kPadding);
    if (remaining_ == 0) {
        // Nothing may follow the announced size.
        uint8_t probe;
        const long got = input_->Read(&probe, 1);
        state_ = got < 0 ? State::kReadError : got > 0 ? State::kSizeChanged : State::kDone;
    }
}

}  // namespace lzh
