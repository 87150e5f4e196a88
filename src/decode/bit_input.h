// Packed-data input: a buffered byte reader limited to one entry's packed
// size, and the MSB-first bit reader on top of it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace lzh {

// Reads an entry's packed bytes in blocks.  In limited mode it never reads
// past the entry: once `remaining` is used up it yields 0 bytes.  At the end
// of the file it yields 0xFF (and still counts the byte), as getc's EOF would.
class ByteInput {
public:
    void Start(FILE* file, uint32_t packedSize, bool limited) {
        file_ = file;
        remaining_ = packedSize;
        limited_ = limited;
        pos_ = end_ = 0;
    }

    uint8_t Next() { return pos_ < end_ ? buffer_[pos_++] : Refill(); }

    // Bytes already read into the buffer (all of them within the limit),
    // for readers that take several at once.
    uint32_t Buffered() const { return end_ - pos_; }
    const uint8_t* Cursor() const { return buffer_ + pos_; }
    void Skip(uint32_t count) { pos_ += count; }

    // Packed bytes not yet taken from the file (limited mode).
    uint32_t remaining() const { return remaining_; }

private:
    uint8_t Refill();

    FILE* file_ = nullptr;
    uint32_t remaining_ = 0;
    bool limited_ = true;
    uint32_t pos_ = 0, end_ = 0;
    uint8_t buffer_[4096];
};

// The next bits of the stream, most significant bit first.  Peek16() is the
// classic 16-bit window; the accumulator holds at least 32 valid bits after
// every call, so decoders may also look 32 bits ahead.
class BitInput {
public:
    explicit BitInput(ByteInput& input) : input_(input) {}

    // Starts reading an entry's packed data; the first byte ends up in the
    // top of the window.
    void Start(FILE* file, uint32_t packedSize) {
        input_.Start(file, packedSize, true);
        bits_ = 0;
        count_ = 0;
        Refill();
    }

    uint16_t Peek16() const { return static_cast<uint16_t>(bits_ >> 48); }
    uint32_t Peek32() const { return static_cast<uint32_t>(bits_ >> 32); }

    // Drops n bits (0..32).
    void FillBits(unsigned n) {
        bits_ <<= n;
        count_ -= n;
        if (count_ < 32) Refill();
    }

    // Returns the next n bits (0..16) as a number and drops them.
    uint16_t GetBits(unsigned n) {
        if (n == 0) return 0;
        const uint16_t value = static_cast<uint16_t>(bits_ >> (64 - n));
        FillBits(n);
        return value;
    }

    // The state a decoder's inner loop keeps in locals while at least eight
    // input bytes are buffered: there a refill is one load, without checks.
    struct Fast {
        uint64_t bits;     // as BitInput's accumulator
        unsigned count;    // valid bits in it
        const uint8_t* next;
        const uint8_t* end;  // of the buffered bytes

        bool CanRefill() const { return end - next >= 8; }
        // Tops the accumulator up to 56..63 bits (see BitInput::Refill).
        void Refill() {
            uint64_t v;
            std::memcpy(&v, next, 8);
            if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
            bits |= v >> count;
            next += (63 - count) >> 3;
            count |= 56;
        }
        uint32_t Peek32() const { return static_cast<uint32_t>(bits >> 32); }
        void Drop(unsigned n) {
            bits <<= n;
            count -= n;
        }
        unsigned Take(unsigned n) {  // n of 0..32
            const unsigned value = static_cast<unsigned>((bits >> 1) >> (63 - n));
            Drop(n);
            return value;
        }
    };
    Fast BeginFast() const {
        const uint8_t* next = input_.Cursor();
        return Fast{bits_, static_cast<unsigned>(count_), next, next + input_.Buffered()};
    }
    void EndFast(const Fast& f) {
        bits_ = f.bits;
        count_ = static_cast<int>(f.count);
        input_.Skip(static_cast<uint32_t>(f.next - input_.Cursor()));
        if (count_ < 32) Refill();
    }

private:
    // Tops the accumulator up to 56..63 bits.  With eight buffered
    // bytes this is one big-endian load: the bytes that fit whole are
    // taken; the top bits of the next one land below them, exactly where the
    // next refill will OR the same bits again.
    void Refill() {
        if (input_.Buffered() >= 8) {
            uint64_t v;
            std::memcpy(&v, input_.Cursor(), 8);
            if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
            bits_ |= v >> count_;
            const unsigned taken = (63 - count_) >> 3;
            input_.Skip(taken);
            count_ += 8 * taken;
            return;
        }
        while (count_ < 56) {
            bits_ |= static_cast<uint64_t>(input_.Next()) << (56 - count_);
            count_ += 8;
        }
    }

    ByteInput& input_;
    uint64_t bits_ = 0;
    int count_ = 0;
};

}  // namespace lzh
