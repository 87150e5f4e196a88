#include "decode/lzss.h"

#include <cstring>

namespace lzh {

void Lz5Decoder::Start(uint8_t* ring) {
    flagCount_ = 0;
    // 0..17 hold zeros, not the frame's spaces: real -lz5- archives whose
    // first matches reach back there carry CRCs that say so.
    std::memset(ring, 0, 18);
    uint8_t* p = ring + 18;
    for (unsigned b = 0; b < 256; b++, p += 13)  // 13 copies of every byte value
        std::memset(p, static_cast<int>(b), 13);
    for (unsigned b = 0; b < 256; b++) *p++ = static_cast<uint8_t>(b);  // ascending
    for (unsigned b = 256; b-- > 0;) *p++ = static_cast<uint8_t>(b);    // descending
    std::memset(p, 0, 128);                                             // zeros
    // 3986..4095 stay spaces.
}

}  // namespace lzh
