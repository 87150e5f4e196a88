// mksfx --info: what a package holds, read back from its file: the module's
// sections, the file's PE checksum, version strings and icon, the configuration block,
// the whole-archive CRC-32, a signature, and the archive's entries as the
// module's own scan finds them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "config_block.h"

namespace mksfx {

struct PackageEntry {
    std::string method;  // "-lh7-"
    int level = 0;
    uint32_t packedSize = 0;
    uint32_t size = 0;
    uint16_t crc16 = 0;
    std::string time;  // "2024-01-02 03:04:05" (level 2 in UTC, else as stored)
    std::string name;  // as stored, in the code page
};

struct PackageFacts {
    uint64_t fileSize = 0;
    uint32_t imageEnd = 0;  // and offset of the block
    std::vector<std::string> sections;
    uint32_t storedChecksum = 0;
    uint32_t fileChecksum = 0;  // computed over the whole file, as Windows does
    SfxConfig config{};
    uint64_t crcStart = 0, crcEnd = 0;  // bytes the module's CRC-32 check reads
    uint32_t crcOfBytes = 0;
    uint64_t certificateOffset = 0, certificateSize = 0;       // size 0: not signed
    std::vector<std::pair<std::string, std::string>> version;  // first string table, UTF-8
    std::vector<std::string> iconImages;                       // "32x32 32-bit" per image of the main icon
    int64_t firstHeader = -1;
    std::vector<PackageEntry> entries;
    std::string archiveEnd;  // empty: the end mark; otherwise what stopped the listing

    bool CrcMatches() const { return config.expectedCrc == 0 || config.expectedCrc == crcOfBytes; }
    bool Intact() const { return CrcMatches() && firstHeader >= 0 && archiveEnd.empty(); }
};

// Reads a package.  False, with a message, for a file that is not a PE
// image followed by a configuration block.
bool ReadPackageFacts(const std::string& path, int codePage, PackageFacts& facts, std::string& error);

// The facts in plain words; names and texts converted from the code page.
void PrintPackageFacts(const PackageFacts& facts, const std::string& path, int codePage, FILE* out);

// --info: 0 for an intact package, 1 for no package or a damaged one.
int ShowPackageInfo(const std::string& path, int codePage, FILE* out, FILE* err);

}  // namespace mksfx
