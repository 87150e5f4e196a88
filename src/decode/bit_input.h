// Packed-data input: a buffered byte reader limited to one entry's packed
// size, and the MSB-first bit reader on top of it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace lzh {

// Reads an entry's packed bytes in blocks.  In limited mode it never reads
// past the entry: once `remaining` is used up it yields 0 bytes.  At the end
// of the file it yields 0xFF (and still counts the byte), as getc's EOF would.
class ByteInput {
public:
    // Bytes kept before the cursor across a refill (see BitInput::BeginFast).
    static constexpr uint32_t kHistory = 8;

    void Start(FILE* file, uint32_t packedSize, bool limited) {
        file_ = file;
        remaining_ = packedSize;
        limited_ = limited;
        overrun_ = 0;
        fileEnded_ = false;
        pos_ = end_ = kHistory;
    }

    uint8_t Next() { return pos_ < end_ ? buffer_[pos_++] : Refill(); }

    // Bytes already read into the buffer (all of them within the limit),
    // for readers that take several at once.  The kHistory bytes before the
    // cursor stay in place, so a reader may also step back over them.
    uint32_t Buffered() const { return end_ - pos_; }
    const uint8_t* Cursor() const { return buffer_ + pos_; }
    void Skip(uint32_t count) { pos_ += count; }
    void MoveTo(const uint8_t* cursor) { pos_ = static_cast<uint32_t>(cursor - buffer_); }

    // Packed bytes not yet taken from the file (limited mode).
    uint32_t remaining() const { return remaining_; }

    // Bytes asked for beyond the entry's packed data or the file's end.  A
    // valid stream needs only what the bit input reads ahead.
    uint32_t overrun() const { return overrun_; }
    // The file ended (or a read failed) before the bytes asked for.
    bool fileEnded() const { return fileEnded_; }

private:
    uint8_t Refill();

    FILE* file_ = nullptr;
    uint32_t remaining_ = 0;
    uint32_t overrun_ = 0;
    bool limited_ = true;
    bool fileEnded_ = false;
    uint32_t pos_ = kHistory, end_ = kHistory;
    uint8_t buffer_[kHistory + 32768];
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

    // A decoder's inner loop keeps the bit input in locals (a Fast) while
    // enough input bytes are buffered: there a refill is one load, without
    // checks.  The accumulator is a machine word, so that 32-bit builds
    // shift one register.
    using Word = std::conditional_t<sizeof(void*) >= 8, uint64_t, uint32_t>;
    static constexpr unsigned kWordBits = 8 * sizeof(Word);
    // Valid bits after a Fast refill.
    static constexpr unsigned kFastBits = kWordBits - 8;
    // Buffered bytes a fast loop's round of refills may read.
    static constexpr uint32_t kFastInput = 16;

    // The members are always inlined: -Oz would call the refill, and a call
    // sends the accumulator through memory.
    struct Fast {
        Word bits;       // as BitInput's accumulator
        unsigned count;  // valid bits in it, at most kWordBits - 1
        const uint8_t* next;
        const uint8_t* last;  // kFastInput bytes before the end of the buffered ones

        [[gnu::always_inline]] bool CanRefill() const { return next <= last; }
        // Tops the accumulator up to kFastBits..kWordBits - 1 bits, as
        // BitInput::Refill does.
        [[gnu::always_inline]] void Refill() {
            Word v;
            std::memcpy(&v, next, sizeof v);
            if constexpr (std::endian::native == std::endian::little) {
                if constexpr (kWordBits == 64)
                    v = __builtin_bswap64(v);
                else
                    v = __builtin_bswap32(v);
            }
            bits |= v >> count;
            next += (kWordBits - 1 - count) >> 3;
            count |= kFastBits;
        }
        [[gnu::always_inline]] unsigned Peek(unsigned n) const {
            return static_cast<unsigned>(bits >> (kWordBits - n));
        }
        [[gnu::always_inline]] void Drop(unsigned n) {
            bits <<= n;
            count -= n;
        }
        [[gnu::always_inline]] unsigned Take(unsigned n) {  // n of 0..kFastBits
            const unsigned value = static_cast<unsigned>((bits >> 1) >> (kWordBits - 1 - n));
            Drop(n);
            return value;
        }
    };

    // Moves the state into f; false (and f untouched) when fewer than
    // kFastInput bytes are buffered.  A narrower accumulator gives back the
    // whole bytes it cannot hold: the input steps back over them.
    bool BeginFast(Fast& f) const {
        if (input_.Buffered() < kFastInput) return false;
        unsigned count = static_cast<unsigned>(count_);
        const uint8_t* next = input_.Cursor();
        if constexpr (kWordBits < 64) {
            if (count >= kWordBits) {
                const unsigned back = (count - kFastBits) >> 3;
                count -= 8 * back;
                next -= back;
            }
        }
        const Word bits = static_cast<Word>(bits_ >> (64 - kWordBits));
        f = Fast{bits, count, next, input_.Cursor() + input_.Buffered() - kFastInput};
        return true;
    }
    void EndFast(const Fast& f) {
        bits_ = static_cast<uint64_t>(f.bits) << (64 - kWordBits);
        count_ = static_cast<int>(f.count);
        input_.MoveTo(f.next);
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
