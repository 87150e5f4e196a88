#include "archive/scanner.h"

#include <cstdio>

namespace lzh {
namespace {

// A header needs 21 bytes; positions in the last 20 bytes of a window are
// tested in the next window, which therefore overlaps by this much.
constexpr long kTail = 20;

// How much candidate validation may read: this many times the file size,
// plus a little for small files.
constexpr uint64_t kScanReadFactor = 8;
constexpr uint64_t kScanReadSlack = 1 << 20;

bool IsCandidate(const uint8_t* p) {
    // p[2..4] would be the start of a method id such as "-lh5-" or "-lzs-".
    return p[2] == '-' && p[3] == 'l' && (p[4] == 'h' || p[4] == 'z');
}

}  // namespace

int FindFirstHeader(HeaderReader& reader, uint8_t* window, uint8_t* scratch, long* firstOffset, long from) {
    FILE* file = reader.archive();
    *firstOffset = -1;
    long windowStart = from;
    if (std::fseek(file, 0, SEEK_END) != 0) return 0;
    const long fileSize = std::ftell(file);
    if (fileSize < 0 || from < 0 || std::fseek(file, from, SEEK_SET) != 0) return 0;
    // A candidate can make the reader follow a chain of extended headers or
    // padding far into the file before it fails; with a candidate at every
    // position a crafted file would take time quadratic in its size.  Real
    // files have few false candidates, so the scan gives up once candidates
    // have read several times the file.
    const uint64_t budget =
        reader.bytesRead + kScanReadFactor * static_cast<uint64_t>(fileSize) + kScanReadSlack;

    for (;;) {
        const long length = static_cast<long>(std::fread(window, 1, kScanWindowSize, file));
        if (length <= kTail) return 0;
        for (long i = 0; i < length - kTail; i++) {
            if (!IsCandidate(window + i)) continue;
            if (std::fseek(file, windowStart + i, SEEK_SET) != 0) return 0;
            if (reader.ReadEntryHeader(scratch)) {
                *firstOffset = windowStart + i;
                return 1;
            }
            if (reader.bytesRead > budget) return 0;
        }
        // The next window starts after the bytes the last failed candidate
        // read, but never beyond the untested tail of this window: a header
        // there, or one a failed candidate's reads ran past, is still found.
        long next = std::ftell(file);
        const long limit = windowStart + length - kTail;
        if (next < 0 || next > limit) next = limit;
        windowStart = next;
        if (std::fseek(file, windowStart, SEEK_SET) != 0) return 0;
    }
}

}  // namespace lzh
