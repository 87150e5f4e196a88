#include "package/archive_start.h"

#include <cstdio>
#include <cstring>

#include "archive/scanner.h"
#include "pe/image_end.h"
#include "package/sfx_config.h"

namespace {

// Every header of the module lies in its first page.
constexpr size_t kHeadersSize = 4096;

}  // namespace

long ArchiveScanStart(FILE* file, const uint8_t* headers, size_t size) {
    const uint32_t imageEnd = FindImageEnd(headers, size);
    char signature[sizeof kConfigSignature];
    if (imageEnd == 0 || imageEnd > 0x7FFFFFFF - kConfigBlockSize ||
        std::fseek(file, static_cast<long>(imageEnd), SEEK_SET) != 0 ||
        std::fread(signature, 1, sizeof signature, file) != sizeof signature ||
        std::memcmp(signature, kConfigSignature, sizeof signature) != 0)
        return 0;
    return static_cast<long>(imageEnd + kConfigBlockSize);
}

int FindArchive(lzh::HeaderReader& reader, uint8_t* window, uint8_t* scratch, long* firstOffset) {
    FILE* file = reader.archive();
    *firstOffset = -1;
    if (std::fseek(file, 0, SEEK_SET) != 0) return 0;
    const size_t got = std::fread(window, 1, kHeadersSize, file);
    return lzh::FindFirstHeader(reader, window, scratch, firstOffset, ArchiveScanStart(file, window, got));
}
