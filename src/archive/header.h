// LHA entry header reader for header levels 0, 1 and 2.
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/lha_format.h"
#include "archive/reporter.h"

namespace lzh {

// The parsed header of the entry read last.
struct EntryHeader {
    uint8_t level;
    char name[2 * kMaxExtendedName + 2];  // directory part, a backslash, the file name and NUL
    char method[6];       // e.g. "-lh5-"
    uint32_t packedSize;  // bytes of packed data behind the header
    uint32_t unpackedSize;
    uint16_t attribute;  // MS-DOS attribute bits in the low byte
    uint16_t crc16;      // CRC-16 of the unpacked data
    uint32_t timeStamp;  // levels 0/1: MS-DOS date<<16 | time, local; level 2: Unix seconds
};

// The exact names some archivers add beside the code-page ones: the
// 0x44 file name and 0x45 folders in UTF-16, and the 0x46 code page of the
// code-page names.  An empty text or a code page of 0 means the header had
// none.  A name that is not well-formed UTF-16 (an odd number of bytes, an
// unpaired surrogate) or is longer than kMaxExtendedWideName units is left
// out, so that the code-page name stands; a name ends at its first NUL.
// Every 0xFFFF is turned into a backslash, as 0xFF is in code-page names;
// the folder text normally ends with one, but need not.
struct WideNames {
    char16_t file[kMaxExtendedWideName + 1];
    char16_t folder[kMaxExtendedWideName + 1];
    uint32_t codePage;
};

// Smallest work buffer ReadEntryHeader accepts; also the largest extended
// header it reads.
constexpr int kHeaderWorkSize = 4096;

// Why ReadEntryHeader read no header.
enum class ArchiveEnd {
    kEndMark,    // the 0 byte that ends an archive
    kEndOfFile,  // the file ends where the next header should start
    kBroken,     // a header cut short by the end of the file, or one that fails a check
};

class HeaderReader {
public:
    HeaderReader(FILE* archive, Reporter& reporter, LeadBytePredicate isLeadByte)
        : archive_(archive), reporter_(reporter), isLeadByte_(isLeadByte) {}

    // Reads one header at the stream's position into `header`.  Returns 1 when
    // a header was read and accepted, leaving the stream at the packed data;
    // 0 at the end mark, on a short read or on a header that fails a check,
    // with the reason in end.  buffer must hold kHeaderWorkSize bytes; its
    // contents are overwritten.
    int ReadEntryHeader(uint8_t* buffer);

    // Moves the stream past the packed data of the entry read last, to where
    // the next header starts.  Returns 0 when that lies beyond 2 GiB, which
    // fseek cannot reach, or the seek fails.
    int SeekNextHeader();

    FILE* archive() const { return archive_; }

    EntryHeader header{};
    // When set, ReadEntryHeader fills it for every header.  The caller owns
    // it, so that the names, over 1 KiB, cost the reader's owner no stack.
    WideNames* wideNames = nullptr;
    ArchiveEnd end = ArchiveEnd::kEndMark;  // after ReadEntryHeader returned 0
    uint64_t bytesRead = 0;                 // header bytes read by this reader so far

private:
    // Reads up to count bytes, folding each into the header CRC and checksum.
    // Returns the number read, or -1 (reading nothing) for a count outside
    // 0..kHeaderWorkSize.
    int ReadHeaderBytes(uint8_t* buffer, int count);
    int ReadBaseHeader(uint8_t* buffer);
    int ReadLevel01Name(const uint8_t* buffer, int baseSize);
    int ReadExtendedHeaders(uint8_t* buffer, int size, int headerBytes, int totalSize, char* directory);
    bool ReplaceFFSeparators(char* text) const;

    FILE* archive_;
    Reporter& reporter_;
    LeadBytePredicate isLeadByte_;
    uint16_t runningCrc16_ = 0;   // CRC-16 of the header bytes read
    uint8_t headerChecksum_ = 0;  // levels 0/1: byte sum from offset 2
    long dataStart_ = -1;         // stream offset of the packed data of the entry read last
};

}  // namespace lzh
