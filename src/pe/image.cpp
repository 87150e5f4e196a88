#include "pe/image.h"

#include "base/byte_order.h"
#include "pe/pe_format.h"

namespace pe {
namespace {

bool IsPowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

}  // namespace

const char* HeaderFaultText(HeaderFault fault) {
    switch (fault) {
    case HeaderFault::kNone: break;
    case HeaderFault::kNoDosHeader: return "not a PE image (no MZ header)";
    case HeaderFault::kNoPeHeader: return "not a PE image (no PE header)";
    case HeaderFault::kSectionCount: return "PE image without sections, or with more than 96";
    case HeaderFault::kSectionsOutside: return "PE section table missing or cut short";
    }
    return "";
}

size_t Image::ChecksumOffset() const { return span.optionalHeader + kChecksumField; }

size_t Image::DirectoryOffset(uint32_t index) const { return span.directories + index * kDirectoryEntrySize; }

Directory Image::DirectoryAt(uint32_t index) const {
    return index < directories.size() ? directories[index] : Directory{};
}

uint64_t Image::RawEnd() const {
    uint64_t end = 0;
    for (const Section& section : sections)
        if (section.rawSize != 0 && section.RawEnd() > end) end = section.RawEnd();
    return end;
}

bool ReadImage(const uint8_t* bytes, size_t size, Image& image, std::string& error) {
    image = Image{};
    const HeaderFault fault = LocateHeaders(bytes, size, image.span);
    if (fault != HeaderFault::kNone) {
        error = HeaderFaultText(fault);
        return false;
    }
    const HeaderSpan& span = image.span;
    if (span.magic != kPe32Magic || span.optionalSize < kPe32Directories) {
        error = "not a 32-bit PE image";
        return false;
    }
    const uint8_t* optional = bytes + span.optionalHeader;
    image.sectionAlignment = ReadLe32(optional + kSectionAlignmentField);
    image.fileAlignment = ReadLe32(optional + kFileAlignmentField);
    image.sizeOfImage = ReadLe32(optional + kSizeOfImageField);
    image.checksum = ReadLe32(optional + kChecksumField);
    if (!IsPowerOfTwo(image.fileAlignment) || !IsPowerOfTwo(image.sectionAlignment)) {
        error = "PE alignments are not powers of two";
        return false;
    }
    for (uint32_t i = 0; i < span.directoryCount; i++) {
        const uint8_t* entry = bytes + image.DirectoryOffset(i);
        image.directories.push_back({ReadLe32(entry), ReadLe32(entry + 4)});
    }
    for (uint32_t i = 0; i < span.sectionCount; i++) {
        Section section;
        section.header = span.sectionTable + i * kSectionHeaderSize;
        const uint8_t* h = bytes + section.header;
        size_t nameLength = 0;
        while (nameLength < kSectionNameSize && h[nameLength] != 0) nameLength++;
        section.name.assign(reinterpret_cast<const char*>(h), nameLength);
        section.virtualSize = ReadLe32(h + kVirtualSizeField);
        section.virtualAddress = ReadLe32(h + kVirtualAddressField);
        section.rawSize = ReadLe32(h + kRawSizeField);
        section.rawOffset = ReadLe32(h + kRawOffsetField);
        section.characteristics = ReadLe32(h + kCharacteristicsField);
        image.sections.push_back(std::move(section));
    }
    return true;
}

}  // namespace pe
