// The 512-byte configuration block that follows the module's image, as the
// packager's builder writes it.  The layout is the module's SfxConfig
// (src/app/state.h), mirrored here without <windows.h> so that the host
// build can use it; the Windows build checks that the two agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mksfx {

struct SfxConfig {
    char signature[6];     // "ORVANE", no terminator
    char variant;          // '3' any Windows, '6' needs WOW64
    char terminator;       // 0
    char destination[260];
    char command[128];
    int32_t noConfirm;
    int32_t openFolder;
    int32_t removeAfterRun;
    int32_t skipDestinationDialog;
    uint32_t expectedCrc;  // CRC-32 of every file byte after the block; 0: no check
    char title[32];
    char question[64];
};

constexpr size_t kConfigBlockSize = 512;
static_assert(sizeof(SfxConfig) == kConfigBlockSize);
static_assert(offsetof(SfxConfig, variant) == 6);
static_assert(offsetof(SfxConfig, destination) == 8);
static_assert(offsetof(SfxConfig, command) == 268);
static_assert(offsetof(SfxConfig, noConfirm) == 396);
static_assert(offsetof(SfxConfig, openFolder) == 400);
static_assert(offsetof(SfxConfig, removeAfterRun) == 404);
static_assert(offsetof(SfxConfig, skipDestinationDialog) == 408);
static_assert(offsetof(SfxConfig, expectedCrc) == 412);
static_assert(offsetof(SfxConfig, title) == 416);
static_assert(offsetof(SfxConfig, question) == 448);

// A block with the signature, variant '3', open-folder set and every other
// byte 0.
SfxConfig DefaultConfig();

// Copies text into a field of `width` bytes, NUL-padded.  Returns false, and
// leaves the field alone, when the text and its terminator do not fit.
bool SetTextField(char* field, size_t width, const std::string& text);

// The block's bytes as they go into the file (integers little-endian).
void EncodeConfig(const SfxConfig& config, uint8_t* out);

}  // namespace mksfx
