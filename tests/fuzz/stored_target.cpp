// Fuzz target: -lh0- and -lz4-: the stored copy, including copy-to-end-of-file.
// Input format: decoder_input.h.
#include <cstddef>
#include <cstdint>

#include "decoder_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::RunDecoderInput(fuzz::kStoredMethods, data, size);
}
