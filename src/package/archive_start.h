// Where the archive of a file starts: in a self-extracting package behind
// the configuration block that follows the module's image, in a plain
// archive (or a program without a block) wherever the first header lies.
// The module, lzhtool and mksfx all find it here.
#pragma once

#include <cstdint>

#include "archive/header.h"

// The offset from which the first header is looked for: the byte after the
// configuration block when the file starts with a PE image whose raw data
// is followed by the block's signature, else 0.  headers holds the file's
// first `size` bytes (4 KiB hold every header of the module).
long ArchiveScanStart(FILE* file, const uint8_t* headers, size_t size);

// Reads the file's first bytes into window, then scans from
// ArchiveScanStart for the first header the reader accepts (see
// FindFirstHeader for window and scratch).  Returns 1 with its offset in
// *firstOffset, or 0 with -1 there.  The stream is left wherever the last
// read left it.
int FindArchive(lzh::HeaderReader& reader, uint8_t* window, uint8_t* scratch, long* firstOffset);
