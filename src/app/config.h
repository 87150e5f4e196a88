// The 512-byte configuration block behind the module's image.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "app/state.h"

// Where the loaded module's image ends in its file.  Reads the PE headers
// of the module in memory; 0 when they are malformed.
uint32_t FindImageEnd(HMODULE module);

// Where the loaded module's file holds its signature (the certificate
// table), or 0 when it is not signed.
uint32_t FindCertificateTable(HMODULE module);

enum ConfigOutcome {
    kConfigApplied,  // the block's values are in the run settings
    kConfigAbsent,   // short block or wrong signature: command-line settings stand
    kConfigEndRun,   // the file holds nothing behind the image; the stream is closed
    kConfigRefused,  // a 64-bit package outside WOW64; the stream is closed, the user told
};

// Reads the block at the image end of the module's own file (stream opened
// for reading, moduleFileName its path) and applies it to
// g_state.runSettings, its destination with the folder token resolved to
// g_state.destination, setting g_state.tempFolderMade.  *fileSize receives the file's size.
// Unless the run ends, the stream is left at offset 0.
ConfigOutcome LoadSfxConfig(FILE* stream, const wchar_t* moduleFileName, long* fileSize);
