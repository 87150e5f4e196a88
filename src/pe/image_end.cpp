#include "pe/image_end.h"

#include "base/byte_order.h"
#include "pe/headers.h"
#include "pe/pe_format.h"

uint32_t FindImageEnd(const uint8_t* headers, size_t size) {
    pe::HeaderSpan span;
    if (pe::LocateHeaders(headers, size, span) != pe::HeaderFault::kNone) return 0;

    // The raw data of every section lies before the end; normally the last
    // section of the table ends last, but the order is not relied on.
    uint32_t end = 0;
    for (uint32_t i = 0; i < span.sectionCount; i++) {
        const uint8_t* section = headers + span.sectionTable + i * pe::kSectionHeaderSize;
        const uint32_t rawSize = ReadLe32(section + pe::kRawSizeField);
        const uint32_t rawOffset = ReadLe32(section + pe::kRawOffsetField);
        if (rawSize == 0) continue;  // uninitialised data has no bytes in the file
        if (rawOffset > UINT32_MAX - rawSize) return 0;
        if (rawOffset + rawSize > end) end = rawOffset + rawSize;
    }
    return end;
}

uint32_t FindCertificateTable(const uint8_t* headers, size_t size) {
    pe::HeaderSpan span;
    if (pe::LocateHeaders(headers, size, span) != pe::HeaderFault::kNone ||
        span.directoryCount <= pe::kSecurityDirectory)
        return 0;
    const uint8_t* entry = headers + span.directories + pe::kSecurityDirectory * pe::kDirectoryEntrySize;
    return ReadLe32(entry + 4) == 0 ? 0 : ReadLe32(entry);
}
