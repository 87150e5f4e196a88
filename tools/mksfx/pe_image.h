// The parts of a PE32 image that mksfx reads and rewrites: the optional
// header's sizes and checksum, the data directories and the section table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace mksfx {

// Data directories mksfx looks at.
constexpr int kResourceDirectory = 2;
constexpr int kSecurityDirectory = 4;  // its "RVA" is a file offset

struct PeSection {
    std::string name;
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
    uint32_t characteristics = 0;
    size_t header = 0;  // file offset of its entry in the section table
};

struct PeDirectory {
    uint32_t address = 0;
    uint32_t size = 0;
};

// Field offsets and values of one image, as found in its headers.
struct PeLayout {
    size_t optionalHeader = 0;  // file offset of the optional header
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfImage = 0;
    uint32_t checksum = 0;
    uint32_t directoryCount = 0;
    std::vector<PeSection> sections;

    size_t ChecksumOffset() const { return optionalHeader + 64; }
    PeDirectory Directory(const uint8_t* image, int index) const;
    size_t DirectoryOffset(int index) const { return optionalHeader + 96 + 8 * static_cast<size_t>(index); }
};

// Reads the headers of a PE32 image from the first size bytes of a file.
// False, with a message, for anything but a PE32 image whose headers and
// section table lie within those bytes.
bool ReadPeLayout(const uint8_t* bytes, size_t size, PeLayout& layout, std::string& error);

uint32_t ReadLe32(const uint8_t* p);
uint16_t ReadLe16(const uint8_t* p);
void WriteLe32(uint8_t* p, uint32_t value);
void WriteLe16(uint8_t* p, uint16_t value);

// The image checksum as Windows computes it over a whole file: 16-bit
// words added with end-around carry, the checksum field itself left out,
// and the file's length added at the end.  Bytes are fed in order, in any
// pieces.
class PeChecksum {
public:
    explicit PeChecksum(uint64_t checksumOffset) : checksumOffset_(checksumOffset) {}
    void Update(const uint8_t* bytes, size_t count);
    uint32_t Finish() const;

private:
    uint64_t checksumOffset_;
    uint64_t position_ = 0;
    uint64_t sum_ = 0;
};

// Computes the checksum of an open file from its start; false on a read
// error.
bool ComputeFileChecksum(FILE* file, uint64_t checksumOffset, uint32_t& checksum);

}  // namespace mksfx
