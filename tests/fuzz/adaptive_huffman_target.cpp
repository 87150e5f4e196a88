// Fuzz target: -lh1- and -lh2-: the adaptive Huffman trees, their rescaling
// and the growing -lh2- position tree.
// Input format: decoder_input.h.
#include <cstddef>
#include <cstdint>

#include "decoder_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::RunDecoderInput(fuzz::kAdaptiveHuffmanMethods, data, size);
}
