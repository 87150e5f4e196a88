// Where the headers of a PE image lie in a buffer: the one walk over the
// DOS header, the file header, the optional header's data directories and
// the section table that every reader of images starts with.  No memory is
// allocated and nothing is read outside the buffer, so the module links it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pe {

// Why a buffer holds no usable headers.
enum class HeaderFault {
    kNone,
    kNoDosHeader,     // shorter than a DOS header, or no "MZ"
    kNoPeHeader,      // e_lfanew points outside the buffer, or no "PE\0\0" there
    kSectionCount,    // no sections, or more than the loader takes
    kSectionsOutside  // the optional header or the section table ends beyond the buffer
};

// Offsets into the buffer, each checked: the optional header and the whole
// section table lie within it.
struct HeaderSpan {
    size_t ntHeaders = 0;  // the PE signature
    size_t optionalHeader = 0;
    size_t optionalSize = 0;
    uint16_t magic = 0;           // 0 for an optional header too short to have one
    size_t directories = 0;       // the first data directory; 0 for an unknown magic
    uint32_t directoryCount = 0;  // as declared, but only those within the optional header
    size_t sectionTable = 0;
    uint32_t sectionCount = 0;
};

HeaderFault LocateHeaders(const uint8_t* bytes, size_t size, HeaderSpan& span);

}  // namespace pe
