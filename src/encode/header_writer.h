// Entry headers of levels 0, 1 and 2 as the archive reader reads them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/lha_format.h"

namespace lzh {

// Largest header BuildEntryHeader writes.
constexpr size_t kMaxEntryHeaderSize = 2048;
struct HeaderFields {
    int level;            // 0, 1 or 2
    const char* method;   // five characters, e.g. "-lh7-"
    uint32_t packedSize;  // bytes of packed data (level 1 adds its extended headers)
    uint32_t unpackedSize;
    uint16_t crc16;      // of the unpacked data
    int64_t modified;    // seconds since 1970-01-01 UTC
    uint8_t attributes;  // MS-DOS bits
    const char* name;    // path in the archive's code page, '/' between components;
                         // a folder's path has no trailing '/'
    bool folder;         // a -lhd- entry
    // Levels 1 and 2: the exact path in UTF-16, NUL-terminated, with the
    // components of name; written into 0x44 (file name) and 0x45 (folders)
    // behind 0x46, which holds codePage, the code page of name.  nullptr:
    // none (level 0 has no room for it).
    const char16_t* wideName;
    uint32_t codePage;
};

// Writes the header into out (kMaxEntryHeaderSize bytes) and returns its
// length, or 0 when the name is empty, has an empty component, holds the
// byte 0xFF (the separator of extended headers), or does not fit the
// level's fields; or when a wide name is given at level 0, holds 0xFFFF
// (the separator of 0x45) or an empty component, or does not fit.
size_t BuildEntryHeader(const HeaderFields& fields, uint8_t* out);

// MS-DOS date (high 16 bits) and time (low 16 bits) of a Unix time in the
// local time zone, held to 1980-01-01 .. 2107-12-31 23:59:58.
uint32_t DosTimeOf(int64_t unixTime);

}  // namespace lzh
