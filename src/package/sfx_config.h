// The 512-byte configuration block that follows the module's image in a
// self-extracting file.  Portable (no <windows.h>): the module reads it and
// the packager's builder writes it.
#pragma once

#include <cstddef>
#include <cstdint>

struct SfxConfig {
    char signature[6];  // "ORVANE", no terminator
    char variant;       // '3' any Windows, '6' needs WOW64
    char terminator;    // 0, not checked
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
inline constexpr char kConfigSignature[6] = {'O', 'R', 'V', 'A', 'N', 'E'};  // no terminator
static_assert(sizeof(SfxConfig) == kConfigBlockSize, "the block is 512 bytes");
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
