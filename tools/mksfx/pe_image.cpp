#include "pe_image.h"

namespace mksfx {
namespace {

constexpr size_t kFileHeaderSize = 24;         // "PE\0\0" + IMAGE_FILE_HEADER
constexpr size_t kOptionalHeaderMinimum = 96;  // PE32 fields before the directories
constexpr size_t kSectionHeaderSize = 40;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint32_t kMaxSections = 96;

bool IsPowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

}  // namespace

uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void WriteLe16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void WriteLe32(uint8_t* p, uint32_t value) {
    WriteLe16(p, static_cast<uint16_t>(value));
    WriteLe16(p + 2, static_cast<uint16_t>(value >> 16));
}

PeDirectory PeLayout::Directory(const uint8_t* image, int index) const {
    if (static_cast<uint32_t>(index) >= directoryCount) return {};
    const uint8_t* entry = image + DirectoryOffset(index);
    return {ReadLe32(entry), ReadLe32(entry + 4)};
}

bool ReadPeLayout(const uint8_t* bytes, size_t size, PeLayout& layout, std::string& error) {
    layout = PeLayout{};
    if (size < 64 || bytes[0] != 'M' || bytes[1] != 'Z') {
        error = "not a PE image (no MZ header)";
        return false;
    }
    const size_t pe = ReadLe32(bytes + 0x3C);
    if (pe > size || size - pe < kFileHeaderSize || ReadLe32(bytes + pe) != 0x00004550) {
        error = "not a PE image (no PE header)";
        return false;
    }
    const uint32_t sectionCount = ReadLe16(bytes + pe + 6);
    const size_t optionalSize = ReadLe16(bytes + pe + 20);
    layout.optionalHeader = pe + kFileHeaderSize;
    if (optionalSize < kOptionalHeaderMinimum || size - layout.optionalHeader < optionalSize ||
        ReadLe16(bytes + layout.optionalHeader) != kPe32Magic) {
        error = "not a 32-bit PE image";
        return false;
    }
    const uint8_t* optional = bytes + layout.optionalHeader;
    layout.sectionAlignment = ReadLe32(optional + 32);
    layout.fileAlignment = ReadLe32(optional + 36);
    layout.sizeOfImage = ReadLe32(optional + 56);
    layout.checksum = ReadLe32(optional + 64);
    layout.directoryCount = ReadLe32(optional + 92);
    if (layout.directoryCount > (optionalSize - kOptionalHeaderMinimum) / 8) {
        error = "PE optional header too short for its data directories";
        return false;
    }
    if (!IsPowerOfTwo(layout.fileAlignment) || !IsPowerOfTwo(layout.sectionAlignment)) {
        error = "PE alignments are not powers of two";
        return false;
    }

    const size_t table = layout.optionalHeader + optionalSize;
    if (sectionCount == 0 || sectionCount > kMaxSections || table > size ||
        (size - table) / kSectionHeaderSize < sectionCount) {
        error = "PE section table missing or cut short";
        return false;
    }
    for (uint32_t i = 0; i < sectionCount; i++) {
        const uint8_t* h = bytes + table + i * kSectionHeaderSize;
        PeSection section;
        size_t nameLength = 0;
        while (nameLength < 8 && h[nameLength] != 0) nameLength++;
        section.name.assign(reinterpret_cast<const char*>(h), nameLength);
        section.virtualSize = ReadLe32(h + 8);
        section.virtualAddress = ReadLe32(h + 12);
        section.rawSize = ReadLe32(h + 16);
        section.rawOffset = ReadLe32(h + 20);
        section.characteristics = ReadLe32(h + 36);
        section.header = table + i * kSectionHeaderSize;
        layout.sections.push_back(section);
    }
    return true;
}

void PeChecksum::Update(const uint8_t* bytes, size_t count) {
    // Whole words are summed as such; the sum stays far below 2^64 for any
    // file below 4 GiB, and is folded once at the end.
    for (size_t i = 0; i < count; i++, position_++) {
        if (position_ >= checksumOffset_ && position_ < checksumOffset_ + 4) continue;
        if ((position_ & 1) == 0 && i + 1 < count &&
            !(position_ + 1 >= checksumOffset_ && position_ + 1 < checksumOffset_ + 4)) {
            sum_ += ReadLe16(bytes + i);
            i++;
            position_++;
        } else {
            sum_ += (position_ & 1) ? static_cast<uint64_t>(bytes[i]) << 8 : bytes[i];
        }
    }
}

uint32_t PeChecksum::Finish() const {
    uint64_t sum = sum_;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + position_);
}

bool ComputeFileChecksum(FILE* file, uint64_t checksumOffset, uint32_t& checksum) {
    if (std::fseek(file, 0, SEEK_SET) != 0) return false;
    PeChecksum sum(checksumOffset);
    std::vector<uint8_t> chunk(65536);
    size_t count;
    while ((count = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) sum.Update(chunk.data(), count);
    if (std::ferror(file)) return false;
    checksum = sum.Finish();
    return true;
}

}  // namespace mksfx
