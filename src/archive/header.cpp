#include "archive/header.h"

#include <cstring>

#include "archive/crc16.h"
#include "archive/lha_format.h"

namespace lzh {
namespace {

// The name and folder extended headers are cut at this length.
constexpr int kMaxComponent = static_cast<int>(kMaxExtendedName);

// Copies up to max bytes of data, stopping at a NUL, and terminates the text.
void CopyText(char* to, const uint8_t* data, int count, int max) {
    if (count > max) count = max;
    std::memcpy(to, data, count);
    to[count] = '\0';
}

// Copies a UTF-16LE name of `size` bytes, up to its first NUL, with every
// 0xFFFF turned into a backslash, and terminates it; leaves the text empty
// for an odd size, an unpaired surrogate or a name longer than
// kMaxExtendedWideName units.
void CopyWideText(char16_t* to, const uint8_t* data, int size) {
    int length = 0;
    bool afterHigh = false;  // the unit before was a high surrogate
    for (int at = 0; at + 1 < size; at += 2) {
        const char16_t unit = ReadLe16(data + at);
        if (unit == 0) break;
        const bool low = (unit & 0xFC00) == 0xDC00;
        if (low != afterHigh || length == static_cast<int>(kMaxExtendedWideName)) {
            length = 0;
            break;
        }
        afterHigh = (unit & 0xFC00) == 0xD800;
        to[length++] = unit == kWideFolderSeparator ? u'\\' : unit;
    }
    if (afterHigh || (size & 1) != 0) length = 0;
    to[length] = 0;
}

// Takes a 0x44 file name, 0x45 folder text or 0x46 code page.
void TakeWideName(WideNames& names, uint8_t type, const uint8_t* data, int size) {
    if (type == kExtCodePage) {
        if (size >= 4) names.codePage = ReadLe32(data);
    } else if (type == kExtWideFileName || type == kExtWideDirectory) {
        CopyWideText(type == kExtWideFileName ? names.file : names.folder, data, size);
    }
}

}  // namespace

int HeaderReader::ReadHeaderBytes(uint8_t* buffer, int count) {
    if (count < 0 || count > kHeaderWorkSize) return -1;
    int got = static_cast<int>(std::fread(buffer, 1, count, archive_));
    bytesRead += static_cast<uint64_t>(got);
    runningCrc16_ = UpdateCrc16(runningCrc16_, buffer, got);
    for (int i = 0; i < got; i++) headerChecksum_ = static_cast<uint8_t>(headerChecksum_ + buffer[i]);
    return got;
}

// Reads the base header: the common part and the rest up to the first
// extended header.  Returns its size, or 0 at the end mark or when it is
// not a header.
int HeaderReader::ReadBaseHeader(uint8_t* buffer) {
    EntryHeader& h = header;
    const int got = ReadHeaderBytes(buffer, kCommonHeaderSize);
    end = got == 0 ? ArchiveEnd::kEndOfFile : buffer[0] == 0 ? ArchiveEnd::kEndMark : ArchiveEnd::kBroken;
    if (got < kCommonHeaderSize) return 0;
    // The checksum covers the header from offset 2 on.
    headerChecksum_ = static_cast<uint8_t>(headerChecksum_ - buffer[0] - buffer[1]);

    h.level = buffer[kLevelAt];
    if (h.level > 2) return 0;
    // Levels 0/1: the size byte counts the bytes after the first two, so a
    // base header is 2..257 bytes long.  Level 2 has a fixed base header and
    // a 16-bit total size.
    const int baseSize = h.level == 2 ? kLevel2BaseSize : buffer[0] + 2;
    if (baseSize < kCommonHeaderSize) return 0;
    // A 0 size byte is the end mark.  At level 2 the byte is only the low
    // half of the total size, so a header of 256 or 512 bytes is still read.
    if (buffer[0] == 0 && (h.level < 2 || ReadLe16(buffer) < kLevel2BaseSize)) return 0;
    end = ArchiveEnd::kBroken;

    std::memcpy(h.method, buffer + 2, 5);
    h.method[5] = '\0';
    h.packedSize = ReadLe32(buffer + kPackedSizeAt);
    h.unpackedSize = ReadLe32(buffer + kUnpackedSizeAt);
    h.timeStamp = ReadLe32(buffer + kTimeStampAt);
    h.attribute = buffer[kAttributeAt];
    if (h.method[0] != '-' || h.method[1] != 'l') return 0;

    const int rest = baseSize - kCommonHeaderSize;
    if (ReadHeaderBytes(buffer + kCommonHeaderSize, rest) < rest) return 0;
    return baseSize;
}

// Levels 0/1 keep the name and the data's CRC-16 in the base header, which
// its checksum protects.
int HeaderReader::ReadLevel01Name(const uint8_t* buffer, int baseSize) {
    EntryHeader& h = header;
    const int nameLength = buffer[kLevel01NameLengthAt];
    if (headerChecksum_ != buffer[1] || nameLength + kLevel01MinSize > baseSize) {
        reporter_.Report("invalid header.");
        return 0;
    }
    CopyText(h.name, buffer + kLevel01NameLengthAt + 1, nameLength, nameLength);
    h.crc16 = ReadLe16(buffer + kLevel01NameLengthAt + 1 + nameLength);
    return 1;
}

// Follows the chain of extended headers (levels 1 and 2) that starts with
// one of `size` bytes, taking the name, directory and attribute (and the
// UTF-16 names and code page when asked for), reads a level-2 header up to
// its totalSize, and checks the header CRC where one is given.  headerBytes
// counts the header so far.
int HeaderReader::ReadExtendedHeaders(uint8_t* buffer, int size, int headerBytes, int totalSize,
                                      char* directory) {
    EntryHeader& h = header;
    bool haveHeaderCrc = false;
    uint16_t expectedHeaderCrc = 0;
    // Sizes 0, 1 and 2 all end the chain.
    while (size > 2) {
        const uint16_t crcBefore = runningCrc16_;
        if (ReadHeaderBytes(buffer, size) < size) return 0;  // also refuses size > 4096
        headerBytes += size;
        if (h.level == 1) h.packedSize -= size;  // level 1 counts extended headers as data
        const uint8_t* data = buffer + 1;
        const int dataSize = size - 3;
        switch (buffer[0]) {
        case kExtHeaderCrc:
            if (size >= 5 && !haveHeaderCrc) {
                haveHeaderCrc = true;
                expectedHeaderCrc = ReadLe16(data);
                runningCrc16_ = crcBefore;
                buffer[1] = buffer[2] = 0;
                runningCrc16_ = UpdateCrc16(runningCrc16_, buffer, size);
            }
            break;
        case kExtFileName: CopyText(h.name, data, dataSize, kMaxComponent); break;
        case kExtDirectory: CopyText(directory, data, dataSize, kMaxComponent); break;
        case kExtAttribute:
            if (size >= 5) h.attribute = ReadLe16(data);
            break;
        default:
            if (wideNames != nullptr) TakeWideName(*wideNames, buffer[0], data, dataSize);
            break;
        }
        size = ReadLe16(buffer + size - 2);
    }
    // Some archivers pad a level-2 header beyond its last extended header;
    // the total size says where the data starts, and the header CRC covers
    // the padding.
    while (headerBytes < totalSize) {
        const int chunk =
            totalSize - headerBytes < kHeaderWorkSize ? totalSize - headerBytes : kHeaderWorkSize;
        if (ReadHeaderBytes(buffer, chunk) < chunk) return 0;
        headerBytes += chunk;
    }
    return !haveHeaderCrc || expectedHeaderCrc == runningCrc16_;
}

int HeaderReader::ReadEntryHeader(uint8_t* buffer) {
    EntryHeader& h = header;
    h.name[0] = '\0';
    if (wideNames != nullptr) {
        wideNames->file[0] = wideNames->folder[0] = 0;
        wideNames->codePage = 0;
    }
    headerChecksum_ = 0;
    runningCrc16_ = 0;

    const int baseSize = ReadBaseHeader(buffer);
    if (baseSize == 0) return 0;
    const int totalSize = h.level == 2 ? ReadLe16(buffer) : 0;
    if (h.level < 2) {
        if (!ReadLevel01Name(buffer, baseSize)) return 0;
    } else {
        h.crc16 = ReadLe16(buffer + kLevel2Crc16At);
    }

    char directory[kMaxComponent + 1];
    directory[0] = '\0';
    if (h.level > 0 &&
        !ReadExtendedHeaders(buffer, ReadLe16(buffer + baseSize - 2), baseSize, totalSize, directory))
        return 0;

    ReplaceFFSeparators(h.name);
    const bool separated = ReplaceFFSeparators(directory);
    // Some archivers leave out the directory's final 0xFF; the name still
    // goes below the directory, not onto the end of its last component.
    // Both parts are at most 260 bytes, so the result fits the 522-byte name.
    size_t dirLength = std::strlen(directory);
    if (dirLength > 0 && !separated) directory[dirLength++] = '\\';
    std::memmove(h.name + dirLength, h.name, std::strlen(h.name) + 1);
    std::memcpy(h.name, directory, dirLength);
    dataStart_ = std::ftell(archive_);
    return 1;
}

int HeaderReader::SeekNextHeader() {
    // A stream position beyond 2 GiB cannot be reached with fseek.
    const uint32_t next = static_cast<uint32_t>(dataStart_) + header.packedSize;
    if (dataStart_ < 0 || next < header.packedSize || next > 0x7FFFFFFFu) return 0;
    return std::fseek(archive_, static_cast<long>(next), SEEK_SET) == 0;
}

// Turns every 0xFF that starts a character into a backslash; a 0xFF trail
// byte of a double-byte character stays.  Returns whether the text ends
// with a separator (0xFF or backslash).
bool HeaderReader::ReplaceFFSeparators(char* text) const {
    bool endsWithSeparator = false;
    for (char* p = text; *p != '\0';) {
        const unsigned char c = static_cast<unsigned char>(*p);
        endsWithSeparator = c == 0xFF || c == '\\';
        if (c == 0xFF) {
            *p++ = '\\';
        } else if (isLeadByte_(c) && p[1] != '\0') {
            p += 2;
        } else {
            p++;
        }
    }
    return endsWithSeparator;
}

}  // namespace lzh
