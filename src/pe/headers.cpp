#include "pe/headers.h"

#include "base/byte_order.h"
#include "pe/pe_format.h"

namespace pe {

HeaderFault LocateHeaders(const uint8_t* bytes, size_t size, HeaderSpan& span) {
    span = HeaderSpan{};
    if (bytes == nullptr || size < kDosHeaderSize || bytes[0] != 'M' || bytes[1] != 'Z')
        return HeaderFault::kNoDosHeader;
    const size_t nt = ReadLe32(bytes + kNewHeaderField);
    if (nt > size || size - nt < kNtHeadersSize || ReadLe32(bytes + nt) != kPeSignature)
        return HeaderFault::kNoPeHeader;
    const uint32_t sectionCount = ReadLe16(bytes + nt + kSectionCountField);
    if (sectionCount == 0 || sectionCount > kMaxSections) return HeaderFault::kSectionCount;

    // The section table follows the optional header; both must lie within
    // the buffer before any of them is read.
    const size_t optional = nt + kNtHeadersSize;
    const size_t optionalSize = ReadLe16(bytes + nt + kOptionalSizeField);
    const size_t table = optional + optionalSize;
    if (table > size || (size - table) / kSectionHeaderSize < sectionCount)
        return HeaderFault::kSectionsOutside;

    span.ntHeaders = nt;
    span.optionalHeader = optional;
    span.optionalSize = optionalSize;
    span.sectionTable = table;
    span.sectionCount = sectionCount;
    if (optionalSize >= 2) span.magic = ReadLe16(bytes + optional);
    const size_t directories = span.magic == kPe32Magic       ? kPe32Directories
                               : span.magic == kPe32PlusMagic ? kPe32PlusDirectories
                                                              : 0;
    if (directories != 0 && optionalSize >= directories) {
        const uint32_t declared = ReadLe32(bytes + optional + directories - 4);
        const size_t room = (optionalSize - directories) / kDirectoryEntrySize;
        span.directories = optional + directories;
        span.directoryCount = declared < room ? declared : static_cast<uint32_t>(room);
    }
    return HeaderFault::kNone;
}

}  // namespace pe
