// Decode-method numbers derived from an entry's method id.
#pragma once

#include <cstdint>

namespace lzh {

enum MethodCode : int {
    kLh0 = 0,  // stored
    kLh1 = 1,  // adaptive Huffman, 4 KiB, fixed position code
    kLh2 = 2,  // adaptive Huffman, 8 KiB, adaptive position code
    kLh3 = 3,  // static Huffman per block, 8 KiB
    kLh4 = 4,  // static Huffman, 4 KiB
    kLh5 = 5,  // static Huffman, 8 KiB
    kLh6 = 6,  // static Huffman, 32 KiB
    kLh7 = 7,  // static Huffman, 64 KiB
    kUnknown = 11,
    kLzs = 13,  // LZSS in a bit stream, 2 KiB
    kLz4 = 14,  // stored
    kLz5 = 15,  // LZSS in bytes, 4 KiB
};

// Only the fourth character decides, and for '4' and '5' the third as well
// ("-lz4-", "-lz5-" against "-lh4-", "-lh5-").  "-lhd-" and anything else
// not listed is kUnknown.
inline MethodCode MethodCodeOf(const char* method) {
    switch (method[3]) {
    case '0': return kLh0;
    case '1': return kLh1;
    case '2': return kLh2;
    case '3': return kLh3;
    case '4': return method[2] == 'z' ? kLz4 : kLh4;
    case '5': return method[2] == 'z' ? kLz5 : kLh5;
    case '6': return kLh6;
    case '7': return kLh7;
    case 's': return kLzs;
    default: return kUnknown;
    }
}

// Dictionary (ring buffer) size of a method; 0 for the stored and unknown ones.
inline uint32_t RingSizeOf(MethodCode code) {
    switch (code) {
    case kLh1:
    case kLh4:
    case kLz5: return 4096;
    case kLh2:
    case kLh3:
    case kLh5: return 8192;
    case kLh6: return 32768;
    case kLh7: return 65536;
    case kLzs: return 2048;
    default: return 0;
    }
}

}  // namespace lzh
