// Fuzz target: -lzs- (bit stream) and -lz5- (bytes straight from the archive).
// Input format: decoder_input.h.
#include <cstddef>
#include <cstdint>

#include "decoder_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::RunDecoderInput(fuzz::kLzssMethods, data, size);
}
