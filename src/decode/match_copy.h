// Match copies inside the decoder's window (see frame.cpp): the bytes behind
// the write position are the dictionary, the bytes ahead of it are free.
#pragma once

#include <cstdint>
#include <cstring>

namespace lzh {

// A copy may write this many bytes past the match's end.
constexpr uint32_t kCopyOverrun = 32;

// Moves 32 bytes in order, 16 at a time on 64-bit targets (vector moves)
// and 8 on 32-bit ones, where -Oz would make a larger memcpy a slow string
// instruction.  In order: a source 16 bytes back reads what the first half
// has just written.
inline void Move32(uint8_t* to, const uint8_t* from) {
    constexpr uint32_t kPart = sizeof(void*) >= 8 ? 16 : 8;
    for (uint32_t k = 0; k < 32; k += kPart) std::memcpy(to + k, from + k, kPart);
}

// Copies `length` (1..287) bytes from `distance` (1 and up) bytes back to
// `to`, as a byte-by-byte forward copy would: a source that overlaps the
// bytes being written repeats them.  A source at least 16 bytes back moves
// in whole 32-byte steps, one at least 8 back in 8-byte steps, each part of
// which reads only bytes already final; most matches take one step, so its
// loop rarely mispredicts.  A nearer source, byte by byte.
inline void CopyMatch(uint8_t* to, uint32_t distance, uint32_t length) {
    const uint8_t* from = to - distance;
    uint8_t* const end = to + length;
    if (distance >= 16) {
        do {
            Move32(to, from);
            to += 32;
            from += 32;
        } while (to < end);
    } else if (distance >= 8) {
        do {
            std::memcpy(to, from, 8);
            to += 8;
            from += 8;
        } while (to < end);
    } else {
        do *to++ = *from++;
        while (to < end);
    }
}

}  // namespace lzh
