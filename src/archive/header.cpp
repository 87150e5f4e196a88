#include "archive/header.h"

#include <cstring>

#include "archive/crc16.h"

namespace lzh {
namespace {

constexpr int kCommonSize = 21;      // bytes shared by every header level
constexpr int kLevel2BaseSize = 26;  // fixed base header of level 2
constexpr int kMaxComponent = 260;   // file-name and directory extended headers are cut here

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Copies up to max bytes of data, stopping at a NUL, and terminates the text.
void CopyText(char* to, const uint8_t* data, int count, int max) {
    if (count > max) count = max;
    std::memcpy(to, data, count);
    to[count] = '\0';
}

}  // namespace

int HeaderReader::ReadHeaderBytes(uint8_t* buffer, int count) {
    if (count < 0 || count > kHeaderWorkSize) return -1;
    int got = static_cast<int>(std::fread(buffer, 1, count, archive_));
    bytesRead += static_cast<uint64_t>(got);
    runningCrc16 = UpdateCrc16(runningCrc16, buffer, got);
    for (int i = 0; i < got; i++) headerChecksum = static_cast<uint8_t>(headerChecksum + buffer[i]);
    return got;
}

int HeaderReader::ReadEntryHeader(uint8_t* buffer) {
    EntryHeader& h = header;
    h.name[0] = '\0';
    headerChecksum = 0;
    runningCrc16 = 0;

    if (ReadHeaderBytes(buffer, kCommonSize) < kCommonSize) return 0;
    // The checksum covers the header from offset 2 on.
    headerChecksum = static_cast<uint8_t>(headerChecksum - buffer[0] - buffer[1]);

    h.level = buffer[20];
    if (h.level > 2) return 0;
    // Levels 0/1: the size byte counts the bytes after the first two, so a
    // base header is 2..257 bytes long.  Level 2 has a fixed base header and
    // a 16-bit total size.
    const int baseSize = h.level == 2 ? kLevel2BaseSize : buffer[0] + 2;
    if (baseSize < kCommonSize) return 0;
    // A 0 size byte is the end mark.  At level 2 the byte is only the low
    // half of the total size, so a header of 256 or 512 bytes is still read.
    const int totalSize = Get16(buffer);
    if (buffer[0] == 0 && (h.level < 2 || totalSize < kLevel2BaseSize)) return 0;

    std::memcpy(h.method, buffer + 2, 5);
    h.method[5] = '\0';
    h.packedSize = Get32(buffer + 7);
    h.unpackedSize = Get32(buffer + 11);
    h.timeStamp = Get32(buffer + 15);
    h.attribute = buffer[19];
    if (h.method[0] != '-' || h.method[1] != 'l') return 0;

    const int rest = baseSize - kCommonSize;
    if (ReadHeaderBytes(buffer + kCommonSize, rest) < rest) return 0;

    if (h.level < 2) {
        const int nameLength = buffer[21];
        if (headerChecksum != buffer[1] || nameLength + 24 > baseSize) {
            reporter_.Report("invalid header.");
            return 0;
        }
        CopyText(h.name, buffer + 22, nameLength, nameLength);
        h.crc16 = Get16(buffer + 22 + nameLength);
    } else {
        h.crc16 = Get16(buffer + 21);
    }

    char directory[kMaxComponent + 1];
    directory[0] = '\0';

    if (h.level > 0) {
        bool haveHeaderCrc = false;
        uint16_t expectedHeaderCrc = 0;
        int size = Get16(buffer + baseSize - 2);
        int headerBytes = baseSize;
        // Sizes 0, 1 and 2 all end the chain.
        while (size > 2) {
            const uint16_t crcBefore = runningCrc16;
            if (ReadHeaderBytes(buffer, size) < size) return 0;  // also refuses size > 4096
            headerBytes += size;
            if (h.level == 1) h.packedSize -= size;  // level 1 counts extended headers as data
            const uint8_t* data = buffer + 1;
            const int dataSize = size - 3;
            switch (buffer[0]) {
            case 0x00:  // header CRC, computed with its own two bytes taken as zero
                if (size >= 5 && !haveHeaderCrc) {
                    haveHeaderCrc = true;
                    expectedHeaderCrc = Get16(data);
                    runningCrc16 = crcBefore;
                    buffer[1] = buffer[2] = 0;
                    runningCrc16 = UpdateCrc16(runningCrc16, buffer, size);
                }
                break;
            case 0x01:
                CopyText(h.name, data, dataSize, kMaxComponent);
                break;
            case 0x02:
                CopyText(directory, data, dataSize, kMaxComponent);
                break;
            case 0x40:
                if (size >= 5) h.attribute = Get16(data);
                break;
            default:
                break;
            }
            size = Get16(buffer + size - 2);
        }
        // Some archivers pad a level-2 header beyond its last extended
        // header; the total size says where the data starts, and the header
        // CRC covers the padding.
        for (int read = headerBytes; h.level == 2 && read < totalSize;) {
            const int chunk = totalSize - read < kHeaderWorkSize ? totalSize - read : kHeaderWorkSize;
            if (ReadHeaderBytes(buffer, chunk) < chunk) return 0;
            read += chunk;
        }
        if (haveHeaderCrc && expectedHeaderCrc != runningCrc16) return 0;
    }

    ReplaceFFSeparators(h.name);
    const bool separated = ReplaceFFSeparators(directory);
    // Some archivers leave out the directory's final 0xFF; the name still
    // goes below the directory, not onto the end of its last component.
    // Both parts are at most 260 bytes, so the result fits the 522-byte name.
    size_t dirLength = std::strlen(directory);
    if (dirLength > 0 && !separated) directory[dirLength++] = '\\';
    std::memmove(h.name + dirLength, h.name, std::strlen(h.name) + 1);
    std::memcpy(h.name, directory, dirLength);
    return 1;
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
