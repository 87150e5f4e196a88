// The input of the decoder targets: one entry's raw packed data behind a
// six-byte prefix that chooses the method and the sizes.
//
//   byte 0     method: index into the target's method list (modulo its length)
//   byte 1     packed size: the low 2 bits say how it relates to the data,
//              the upper 6 bits give an amount n
//                0  the length of the data
//                1  n bytes less (the rest of the data follows the entry)
//                2  n * 64 + 1 bytes more (the file ends inside the entry)
//                3  0xFFFFFFFF
//   bytes 2-4  unpacked size, little-endian, capped at kMaxUnpacked
//   byte 5     bit 7 set: decode the data again with the same decoder, as
//              the next entry of an archive would be, with the method that
//              the low 6 bits choose; bit 6 set: the output refuses the
//              first write of the (first) entry
//   bytes 6-   the packed data
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "archive/lha_format.h"

namespace fuzz {

constexpr size_t kDecoderPrefixSize = 6;

// The methods of each decoder target, in prefix order.
inline constexpr lzh::MethodCode kStaticHuffmanMethods[] = {lzh::kLh4, lzh::kLh5, lzh::kLh6, lzh::kLh7};
inline constexpr lzh::MethodCode kAdaptiveHuffmanMethods[] = {lzh::kLh1, lzh::kLh2};
inline constexpr lzh::MethodCode kLh3Methods[] = {lzh::kLh3};
inline constexpr lzh::MethodCode kLzssMethods[] = {lzh::kLzs, lzh::kLz5};
inline constexpr lzh::MethodCode kStoredMethods[] = {lzh::kLh0, lzh::kLz4};

struct DecoderTarget {
    const char* name;  // the fuzz target's name
    std::span<const lzh::MethodCode> methods;
};

inline constexpr DecoderTarget kDecoderTargets[] = {
    {"fuzz_static_huffman", kStaticHuffmanMethods},
    {"fuzz_adaptive_huffman", kAdaptiveHuffmanMethods},
    {"fuzz_lh3", kLh3Methods},
    {"fuzz_lzss", kLzssMethods},
    {"fuzz_stored", kStoredMethods},
};

// Runs one decoder-target input.  Always returns 0 (libFuzzer's "keep").
int RunDecoderInput(std::span<const lzh::MethodCode> methods, const uint8_t* data, size_t size);

}  // namespace fuzz
