// Match copies inside the decoder's window (see frame.cpp): the bytes behind
// the write position are the dictionary, the bytes ahead of it are free.
#pragma once

#include <cstdint>
#include <cstring>

namespace lzh {

// A copy may write this many bytes past the match's end.
constexpr uint32_t kCopyOverrun = 16;

// Copies `length` (1..287) bytes from `distance` (1 and up) bytes back to
// `to`, as a byte-by-byte forward copy would: a source that overlaps the
// bytes being written repeats them.  A source at least 8 bytes back moves
// in whole 8-byte steps (each step reads only bytes already final), a
// nearer one byte by byte.
inline void CopyMatch(uint8_t* to, uint32_t distance, uint32_t length) {
    const uint8_t* from = to - distance;
    uint8_t* const end = to + length;
    if (distance >= 8) {
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
