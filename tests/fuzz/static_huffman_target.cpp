// Fuzz target: -lh4- to -lh7-: block headers with pre-tree, character and
// position code lengths, and the table builder.
// Input format: decoder_input.h.
#include <cstddef>
#include <cstdint>

#include "decoder_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::RunDecoderInput(fuzz::kStaticHuffmanMethods, data, size);
}
