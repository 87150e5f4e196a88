#include "package/image_end.h"

namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kPeOffsetField = 0x3C;
constexpr size_t kFileHeaderSize = 24;  // "PE\0\0" + IMAGE_FILE_HEADER
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kMaxSections = 96;  // the loader's own limit
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kCertificateDirectory = 4;  // IMAGE_DIRECTORY_ENTRY_SECURITY

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Offset of the PE file header ("PE\0\0" and IMAGE_FILE_HEADER) in headers,
// or 0 when the DOS header or the signature is missing or does not lie
// within size bytes.
size_t FindFileHeader(const uint8_t* headers, size_t size) {
    if (headers == nullptr || size < kDosHeaderSize) return 0;
    if (headers[0] != 'M' || headers[1] != 'Z') return 0;

    // Only the low 16 bits of e_lfanew are used: the PE header of the module
    // always lies in the first 64 KiB.
    const size_t pe = Read16(headers + kPeOffsetField);
    if (pe > size || size - pe < kFileHeaderSize) return 0;
    const uint8_t* fileHeader = headers + pe;
    if (fileHeader[0] != 'P' || fileHeader[1] != 'E' || fileHeader[2] != 0 || fileHeader[3] != 0) return 0;
    return pe;
}

}  // namespace

uint32_t FindImageEnd(const uint8_t* headers, size_t size) {
    const size_t pe = FindFileHeader(headers, size);
    if (pe == 0) return 0;
    const uint8_t* fileHeader = headers + pe;
    const uint32_t sectionCount = Read16(fileHeader + 6);
    const size_t optionalHeaderSize = Read16(fileHeader + 20);
    if (sectionCount == 0 || sectionCount > kMaxSections) return 0;

    // The whole section table must lie inside the buffer before any of it is read.
    const size_t table = pe + kFileHeaderSize + optionalHeaderSize;
    const size_t tableSize = sectionCount * kSectionHeaderSize;
    if (table > size || size - table < tableSize) return 0;

    // The raw data of every section lies before the end; normally the last
    // section of the table ends last, but the order is not relied on.
    uint32_t end = 0;
    for (uint32_t i = 0; i < sectionCount; i++) {
        const uint8_t* section = headers + table + i * kSectionHeaderSize;
        const uint32_t rawSize = Read32(section + 16);
        const uint32_t rawOffset = Read32(section + 20);
        if (rawSize == 0) continue;  // uninitialised data has no bytes in the file
        if (rawOffset > UINT32_MAX - rawSize) return 0;
        if (rawOffset + rawSize > end) end = rawOffset + rawSize;
    }
    return end;
}

uint32_t FindCertificateTable(const uint8_t* headers, size_t size) {
    const size_t pe = FindFileHeader(headers, size);
    if (pe == 0) return 0;
    const size_t optionalHeaderSize = Read16(headers + pe + 20);
    const size_t optional = pe + kFileHeaderSize;
    if (optionalHeaderSize < 2 || optional > size || size - optional < optionalHeaderSize) return 0;
    // PE32 images keep their data directories from offset 96 of the optional
    // header, PE32+ images from 112, each preceded by their count; the
    // certificate table's is the fifth.
    const uint16_t magic = Read16(headers + optional);
    const size_t directories = magic == kPe32Magic ? 96 : magic == kPe32PlusMagic ? 112 : 0;
    const size_t entry = directories + kCertificateDirectory * 8;
    if (directories == 0 || optionalHeaderSize < entry + 8) return 0;
    if (Read32(headers + optional + directories - 4) <= kCertificateDirectory) return 0;
    const uint32_t offset = Read32(headers + optional + entry);
    return Read32(headers + optional + entry + 4) == 0 ? 0 : offset;
}
