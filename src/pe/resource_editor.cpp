#include "pe/resource_editor.h"

#include <algorithm>

#include "base/byte_order.h"
#include "pe/checksum.h"
#include "pe/pe_format.h"

namespace pe {
namespace {

constexpr uint32_t kMaxFileAlignment = 0x10000;

uint32_t AlignUp(uint64_t n, uint32_t alignment) {
    return static_cast<uint32_t>((n + alignment - 1) & ~static_cast<uint64_t>(alignment - 1));
}

// The resource section of an image whose resources can be rewritten.
const Section* EditableSection(const std::vector<uint8_t>& bytes, const Image& image, std::string& error) {
    if (image.DirectoryAt(kSecurityDirectory).size != 0) {
        error = "the image is signed; rewriting its resources would break the signature";
        return nullptr;
    }
    if (image.fileAlignment > kMaxFileAlignment) {
        error = "the image's file alignment is above 64 KiB";
        return nullptr;
    }
    const Directory resources = image.DirectoryAt(kResourceDirectory);
    const Section* last = nullptr;
    for (const Section& section : image.sections)
        if (last == nullptr || section.rawOffset > last->rawOffset) last = &section;
    // Every other section lies before it, in memory and in the file.
    const bool before = std::all_of(image.sections.begin(), image.sections.end(), [&](const Section& s) {
        return &s == last || (s.virtualAddress <= last->virtualAddress &&
                              (s.rawSize == 0 || s.RawEnd() <= last->rawOffset));
    });
    if (resources.size == 0 || resources.address != last->virtualAddress || !before ||
        last->RawEnd() != bytes.size()) {
        error = "the resources are not the image's last section, which rewriting them needs";
        return nullptr;
    }
    if (last->rawOffset < image.span.sectionTable + image.span.sectionCount * kSectionHeaderSize) {
        error = "the resource section overlaps the image's headers";
        return nullptr;
    }
    return last;
}

}  // namespace

bool ReadResources(const uint8_t* bytes, size_t size, const Image& image, ResourceTree& tree,
                   std::string& error) {
    tree.types.clear();
    const Directory directory = image.DirectoryAt(kResourceDirectory);
    if (directory.size == 0) {
        error = "the image has no resources";
        return false;
    }
    for (const Section& section : image.sections) {
        if (section.virtualAddress != directory.address) continue;
        if (section.RawEnd() > size) {
            error = "the resource section lies beyond the end of the image";
            return false;
        }
        return ParseResourceTree(bytes + section.rawOffset, section.rawSize, section.virtualAddress, tree,
                                 error);
    }
    error = "no section starts at the resource directory";
    return false;
}

bool ReadEditableResources(const std::vector<uint8_t>& bytes, ResourceTree& tree, std::string& error) {
    Image image;
    if (!ReadImage(bytes.data(), bytes.size(), image, error)) return false;
    const Section* section = EditableSection(bytes, image, error);
    return section != nullptr && ParseResourceTree(bytes.data() + section->rawOffset, section->rawSize,
                                                   section->virtualAddress, tree, error);
}

bool WriteResources(std::vector<uint8_t>& bytes, const ResourceTree& tree, std::string& error) {
    Image image;
    if (!ReadImage(bytes.data(), bytes.size(), image, error)) return false;
    const Section* section = EditableSection(bytes, image, error);
    if (section == nullptr) return false;
    const std::vector<uint8_t> resources = BuildResourceTree(tree, section->virtualAddress);
    if (uint64_t{section->rawOffset} + AlignUp(resources.size(), image.fileAlignment) > UINT32_MAX) {
        error = "the image would be 4 GiB or larger";
        return false;
    }

    // The new section replaces the old one's bytes at the end of the image.
    const uint32_t rawSize = AlignUp(resources.size(), image.fileAlignment);
    const uint32_t virtualSize = static_cast<uint32_t>(resources.size());
    bytes.resize(section->rawOffset);
    bytes.insert(bytes.end(), resources.begin(), resources.end());
    bytes.resize(static_cast<size_t>(section->rawOffset) + rawSize, 0);

    WriteLe32(&bytes[section->header + kVirtualSizeField], virtualSize);
    WriteLe32(&bytes[section->header + kRawSizeField], rawSize);
    WriteLe32(&bytes[image.DirectoryOffset(kResourceDirectory) + 4], virtualSize);
    uint8_t* optional = &bytes[image.span.optionalHeader];
    if (section->characteristics & kInitializedData)
        WriteLe32(optional + kInitializedDataField,
                  ReadLe32(optional + kInitializedDataField) - section->rawSize + rawSize);
    uint64_t end = 0;
    for (const Section& s : image.sections)
        end = std::max<uint64_t>(end,
                                 uint64_t{s.virtualAddress} + (&s == section ? virtualSize : s.virtualSize));
    WriteLe32(optional + kSizeOfImageField, AlignUp(end, image.sectionAlignment));

    // The image's own checksum, as the linker computes it; a package's
    // writer or a signer computes it again over the whole file.
    WriteLe32(&bytes[image.ChecksumOffset()],
              FileChecksum(bytes.data(), bytes.size(), image.ChecksumOffset()));
    return true;
}

}  // namespace pe
