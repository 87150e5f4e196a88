// The LHA format as the header reader, the decoders and the encoder share
// it: the methods, the static-Huffman alphabets, the header layout and its
// name limits, and MS-DOS date/time fields.
#pragma once

#include <cstdint>

#include "base/byte_order.h"

namespace lzh {

// ---------------------------------------------------------------- methods

// Decode-method numbers derived from an entry's method id.
enum MethodCode : int {
    kLh0 = 0,  // stored
    kLh1 = 1,  // adaptive Huffman, 4 KiB, fixed position code
    kLh2 = 2,  // adaptive Huffman, 8 KiB, adaptive position code
    kLh3 = 3,  // static Huffman per block, 8 KiB
    kLh4 = 4,  // static Huffman, 4 KiB
    kLh5 = 5,  // static Huffman, 8 KiB
    kLh6 = 6,  // static Huffman, 32 KiB
    kLh7 = 7,  // static Huffman, 64 KiB
    kUnknown = 11,
    kLzs = 13,  // LZSS in a bit stream, 2 KiB
    kLz4 = 14,  // stored
    kLz5 = 15,  // LZSS in bytes, 4 KiB
};

// Only the fourth character decides, and for '4' and '5' the third as well
// ("-lz4-", "-lz5-" against "-lh4-", "-lh5-").  "-lhd-" and anything else
// not listed is kUnknown.
inline MethodCode MethodCodeOf(const char* method) {
    switch (method[3]) {
    case '0': return kLh0;
    case '1': return kLh1;
    case '2': return kLh2;
    case '3': return kLh3;
    case '4': return method[2] == 'z' ? kLz4 : kLh4;
    case '5': return method[2] == 'z' ? kLz5 : kLh5;
    case '6': return kLh6;
    case '7': return kLh7;
    case 's': return kLzs;
    default: return kUnknown;
    }
}

// One method's dictionary and, for the static-Huffman methods, the number
// of position codes and the width of the field that counts their lengths.
struct MethodParameters {
    uint8_t dictionaryBits;  // 0: no dictionary (stored, unknown)
    uint8_t positionCodes;
    uint8_t positionCountBits;
};

// Indexed by MethodCode.
inline constexpr MethodParameters kMethodTable[16] = {
    {0, 0, 0},                   // -lh0-
    {12, 0, 0},                  // -lh1-
    {13, 0, 0},                  // -lh2-
    {13, 0, 0},                  // -lh3-
    {12, 14, 4},                 // -lh4-
    {13, 14, 4},                 // -lh5-
    {15, 16, 5},                 // -lh6-
    {16, 17, 5},                 // -lh7-
    {},                          // 8..10 unused
    {},          {}, {0, 0, 0},  // unknown
    {},                          // 12 unused
    {11, 0, 0},                  // -lzs-
    {0, 0, 0},                   // -lz4-
    {12, 0, 0},                  // -lz5-
};

// Dictionary (ring buffer) size of a method; 0 for the stored and unknown ones.
inline uint32_t RingSizeOf(MethodCode code) {
    const unsigned bits = kMethodTable[code & 15].dictionaryBits;
    return bits == 0 ? 0 : 1u << bits;
}

constexpr uint32_t kLargestDictionary = 65536;  // -lh7-

// The method id that names a method in a header ("-lh5-"); the encoder
// writes only the stored and static-Huffman ones.
inline const char* MethodIdOf(MethodCode code) {
    switch (code) {
    case kLh5: return "-lh5-";
    case kLh6: return "-lh6-";
    case kLh7: return "-lh7-";
    default: return "-lh0-";
    }
}

// ------------------------------------------------ static-Huffman alphabets

// Character/length alphabet of -lh4- to -lh7-: literals 0..255, then match
// lengths 3..256 as symbols 256..509 (symbol = length + kMatchBias).
constexpr unsigned kCharSymbols = 510;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 256;
constexpr unsigned kMatchBias = 253;
constexpr unsigned kLzsMatchBias = 254;  // -lzs- lengths start at 2
constexpr unsigned kMaxCodeLength = 16;
constexpr unsigned kMaxPositionCodes = 17;  // -lh7-

// A block: a 16-bit symbol count (0 stands for one match of length 257 in
// the decoders' reading), the pre-tree (5-bit count; lengths; after the
// third length a 2-bit count of zero lengths), the character lengths (9-bit
// count; pre-tree symbols 0..2 code runs of zero lengths), the position
// lengths (4- or 5-bit count), then the symbols.
constexpr unsigned kMaxBlockSymbols = 65535;
constexpr unsigned kPreTreeSymbols = 19;
constexpr unsigned kPreTreeCountBits = 5;
constexpr unsigned kPreTreeSpecial = 3;
constexpr unsigned kCharCountBits = 9;

// A match's position value p is its distance - 1.  Its code is the number
// of significant bits of p (0 for p = 0), followed by the bits below the
// leading 1: code j > 1 carries j - 1 extra bits.
constexpr unsigned PositionExtraBits(unsigned code) { return code > 1 ? code - 1 : 0; }

// ----------------------------------------------------------- entry headers

// The first 21 bytes, the same at every level:
//   0  header size (levels 0/1: bytes after the first two; level 2: low byte of the total)
//   1  levels 0/1: checksum of the header from byte 2; level 2: high byte of the total
//   2  method id, 5 bytes ("-lh5-")
//   7  packed size, 4 bytes
//  11  unpacked size, 4 bytes
//  15  time stamp, 4 bytes (levels 0/1: MS-DOS date/time; level 2: Unix time)
//  19  MS-DOS attribute (levels 1/2: 0x20)
//  20  header level
constexpr int kCommonHeaderSize = 21;
constexpr int kPackedSizeAt = 7;
constexpr int kUnpackedSizeAt = 11;
constexpr int kTimeStampAt = 15;
constexpr int kAttributeAt = 19;
constexpr int kLevelAt = 20;
// Levels 0/1 go on with the name length, the name and the data's CRC-16
// (level 1 then has an OS id and the first extended header's size); level 2
// with the CRC-16, an OS id and the first extended header's size.
constexpr int kLevel01NameLengthAt = 21;
constexpr int kLevel01MinSize = 24;  // common part, name length and CRC-16
constexpr int kLevel2Crc16At = 21;
constexpr int kLevel2BaseSize = 26;

// Extended headers (levels 1 and 2): a type byte, the data, and the size
// of the next one (0 ends the list).
enum ExtendedHeaderType : uint8_t {
    kExtHeaderCrc = 0x00,  // CRC-16 of the whole header, taken with these two bytes as zero
    kExtFileName = 0x01,
    kExtDirectory = 0x02,  // folders separated by 0xFF
    kExtAttribute = 0x40,  // MS-DOS attribute, 2 bytes
    kExtWideFileName = 0x44,   // the file name in UTF-16LE
    kExtWideDirectory = 0x45,  // folders in UTF-16LE, each followed by kWideFolderSeparator
    kExtCodePage = 0x46,       // code page of the names in 0x01, 0x02 and the base header, 4 bytes
};
constexpr uint8_t kFolderSeparator = 0xFF;
constexpr char16_t kWideFolderSeparator = 0xFFFF;

// Name limits.  Levels 0/1 hold the name in a base header whose size byte
// counts at most 255 bytes: a level-0 path of up to 233 bytes, a level-1
// file name of up to 230 beside the extended-header fields.  A file name or
// folder path in an extended header is read up to 260 bytes, and one in
// UTF-16 up to 260 code units.
constexpr unsigned kMaxLevel0Name = 233;
constexpr unsigned kMaxLevel1BaseName = 230;
constexpr unsigned kMaxExtendedName = 260;
constexpr unsigned kMaxExtendedWideName = 260;

// MS-DOS attribute bits.
constexpr uint8_t kAttributeReadOnly = 0x01;
constexpr uint8_t kAttributeHidden = 0x02;
constexpr uint8_t kAttributeFolder = 0x10;
constexpr uint8_t kAttributeArchive = 0x20;

// ------------------------------------------------------- MS-DOS date/time

// An MS-DOS date/time as levels 0 and 1 store it (local time, date in the
// high 16 bits): year 1980..2107, second in steps of two.
struct DosDateTime {
    unsigned year, month, day, hour, minute, second;
};

constexpr DosDateTime UnpackDosTime(uint32_t packed) {
    const unsigned date = packed >> 16, clock = packed & 0xFFFF;
    return {(date >> 9) + 1980, (date >> 5) & 15,  date & 31,
            clock >> 11,        (clock >> 5) & 63, (clock & 31) * 2};
}

// The fields must be in range (year 1980..2107); an odd second is rounded down.
constexpr uint32_t PackDosTime(const DosDateTime& t) {
    const uint32_t date = (t.year - 1980) << 9 | t.month << 5 | t.day;
    const uint32_t clock = t.hour << 11 | t.minute << 5 | t.second / 2;
    return date << 16 | clock;
}

constexpr uint32_t kFirstDosTime = PackDosTime({1980, 1, 1, 0, 0, 0});
constexpr uint32_t kLastDosTime = PackDosTime({2107, 12, 31, 23, 59, 58});

}  // namespace lzh
