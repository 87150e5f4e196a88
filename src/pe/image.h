// The headers of a PE32 image as the host tools read and rewrite them: the
// optional header's sizes and checksum, the data directories and the
// section table, with the file offsets of the fields an editor changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/headers.h"

namespace pe {

struct Section {
    std::string name;
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
    uint32_t characteristics = 0;
    size_t header = 0;  // file offset of its entry in the section table

    uint64_t RawEnd() const { return uint64_t{rawOffset} + rawSize; }
};

struct Directory {
    uint32_t address = 0;
    uint32_t size = 0;
};

struct Image {
    HeaderSpan span;
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfImage = 0;
    uint32_t checksum = 0;
    std::vector<Directory> directories;  // those that lie within the optional header
    std::vector<Section> sections;

    size_t ChecksumOffset() const;
    size_t DirectoryOffset(uint32_t index) const;  // valid for index < directories.size()
    Directory DirectoryAt(uint32_t index) const;   // empty beyond the count
    // Where the raw data of the sections ends (FindImageEnd's value).
    uint64_t RawEnd() const;
};

// Reads the headers of a PE32 image from the first `size` bytes of a file.
// False, with a message, for anything but a PE32 image whose headers and
// section table lie within those bytes and whose alignments are powers of
// two.
bool ReadImage(const uint8_t* bytes, size_t size, Image& image, std::string& error);

// What a header fault means, in a few words.
const char* HeaderFaultText(HeaderFault fault);

}  // namespace pe
