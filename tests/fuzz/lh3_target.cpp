// Fuzz target: -lh3-: block heads with their single-code and fixed-position cases.
// Input format: decoder_input.h.
#include <cstddef>
#include <cstdint>

#include "decoder_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::RunDecoderInput(fuzz::kLh3Methods, data, size);
}
