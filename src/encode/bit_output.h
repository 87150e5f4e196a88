// MSB-first bit writer, the mirror of the decoders' bit input: the first
// bit written is the top bit of the first byte.  It fills a caller-sized
// buffer that the entry encoder drains after every block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh {

class BitOutput {
public:
    // buffer must hold every byte written between two Drain calls, plus 8.
    void Start(uint8_t* buffer, size_t capacity) {
        buffer_ = buffer;
        capacity_ = capacity;
        size_ = 0;
        bits_ = 0;
        count_ = 0;
        drained_ = 0;
    }

    // Writes the low `count` bits of value (count 0..32, value < 2^count).
    void Put(uint32_t value, unsigned count) {
        bits_ = (bits_ << count) | value;
        count_ += count;
        if (count_ >= 32) {
            count_ -= 32;
            const uint32_t word = static_cast<uint32_t>(bits_ >> count_);
            uint8_t* p = buffer_ + size_;
            p[0] = static_cast<uint8_t>(word >> 24);
            p[1] = static_cast<uint8_t>(word >> 16);
            p[2] = static_cast<uint8_t>(word >> 8);
            p[3] = static_cast<uint8_t>(word);
            size_ += 4;
        }
    }

    // Pads the last byte with zero bits and moves every pending bit into
    // the buffer.
    void Flush() {
        while (count_ >= 8) {
            count_ -= 8;
            buffer_[size_++] = static_cast<uint8_t>(bits_ >> count_);
        }
        if (count_ > 0) {
            buffer_[size_++] = static_cast<uint8_t>(bits_ << (8 - count_));
            count_ = 0;
        }
    }

    // Whole bytes in the buffer; Drain forgets them once written elsewhere.
    const uint8_t* bytes() const { return buffer_; }
    size_t size() const { return size_; }
    void Drain() {
        drained_ += size_;
        size_ = 0;
    }

    // Bits written since Start.
    uint64_t BitCount() const { return (drained_ + size_) * 8 + count_; }

    size_t capacity() const { return capacity_; }

private:
    uint8_t* buffer_ = nullptr;
    size_t capacity_ = 0;
    size_t size_ = 0;
    uint64_t bits_ = 0;   // pending bits in the low `count_` bits
    unsigned count_ = 0;  // 0..31 between calls
    uint64_t drained_ = 0;
};

}  // namespace lzh
