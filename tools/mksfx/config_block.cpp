#include "config_block.h"

#include <bit>
#include <cstring>

namespace mksfx {

// The record is copied out as it lies in memory, which is the file's
// little-endian layout on the machines this tool is built for.
static_assert(std::endian::native == std::endian::little);

SfxConfig DefaultConfig() {
    SfxConfig config;
    std::memset(&config, 0, sizeof config);
    std::memcpy(config.signature, kConfigSignature, sizeof config.signature);
    config.variant = '3';
    config.openFolder = 1;
    return config;
}

bool SetTextField(char* field, size_t width, const std::string& text) {
    if (text.size() >= width) return false;
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), text.size());
    return true;
}

void EncodeConfig(const SfxConfig& config, uint8_t* out) { std::memcpy(out, &config, kConfigBlockSize); }

}  // namespace mksfx
