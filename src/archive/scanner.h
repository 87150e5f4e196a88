// Finds the first LHA entry header in a file, wherever it lies (behind an
// executable image and its configuration block, for instance).
#pragma once

#include <cstdint>

#include "archive/header.h"

namespace lzh {

constexpr int kScanWindowSize = 65536;

// Searches the reader's stream from offset `from` (a package's archive starts
// behind its configuration block, whose texts could look like a header) for
// the first position where ReadEntryHeader accepts a header.  window holds kScanWindowSize bytes and
// scratch kHeaderWorkSize bytes (the header reader works there, so the window
// stays intact).  Returns 1 with the header's file offset in *firstOffset, or
// 0 with *firstOffset -1.  The stream is left wherever the last read left it.
int FindFirstHeader(HeaderReader& reader, uint8_t* window, uint8_t* scratch, long* firstOffset,
                    long from = 0);

}  // namespace lzh
