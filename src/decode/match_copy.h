// Match copies inside the decoder's window (see frame.cpp): the bytes behind
// the write position are the dictionary, the bytes ahead of it are free.
#pragma once

#include <cstdint>
#include <cstring>

namespace lzh {

// A copy may write this many bytes past the match's end.
constexpr uint32_t kCopyOverrun = 16;

// Moves 16 bytes: one vector move on 64-bit targets; two 8-byte moves on
// 32-bit ones, where -Oz would make a single 16-byte memcpy a slow string
// instruction.
inline void Move16(uint8_t* to, const uint8_t* from) {
    if constexpr (sizeof(void*) >= 8) {
        std::memcpy(to, from, 16);
    } else {
        std::memcpy(to, from, 8);
        std::memcpy(to + 8, from + 8, 8);
    }
}

// Copies `length` (1..287) bytes from `distance` (1 and up) bytes back to
// `to`, as a byte-by-byte forward copy would: a source that overlaps the
// bytes being written repeats them.  A source at least 16 (or 8) bytes back
// moves in whole 16-byte (8-byte) steps, each of which reads only bytes
// already final; most matches take one step.  A nearer one, byte by byte.
inline void CopyMatch(uint8_t* to, uint32_t distance, uint32_t length) {
    const uint8_t* from = to - distance;
    uint8_t* const end = to + length;
    if (distance >= 16) {
        do {
            Move16(to, from);
            to += 16;
            from += 16;
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
