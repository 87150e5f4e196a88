// The 512-byte configuration block that follows the module's image, as the
// packager's builder writes it: the module's own layout (package/sfx_config.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/sfx_config.h"

namespace mksfx {

using SfxConfig = ::SfxConfig;
using ::kConfigBlockSize;

// A block with the signature, variant '3', open-folder set and every other
// byte 0.
SfxConfig DefaultConfig();

// Copies text into a field of `width` bytes, NUL-padded.  Returns false, and
// leaves the field alone, when the text and its terminator do not fit.
bool SetTextField(char* field, size_t width, const std::string& text);

// The block's bytes as they go into the file (integers little-endian).
void EncodeConfig(const SfxConfig& config, uint8_t* out);

}  // namespace mksfx
