#include "branding.h"

#include <algorithm>

#include "pe_image.h"
#include "resource_tree.h"
#include "version_resource.h"

namespace mksfx {
namespace {

constexpr uint32_t kInitializedData = 0x00000040;  // IMAGE_SCN_CNT_INITIALIZED_DATA
constexpr size_t kSizeOfInitializedData = 8;       // optional header offsets
constexpr size_t kSizeOfImage = 56;

uint32_t AlignUp(uint64_t n, uint32_t alignment) {
    return static_cast<uint32_t>((n + alignment - 1) & ~static_cast<uint64_t>(alignment - 1));
}

// The section that holds the resources must be the last one in the file and
// in memory, so that it can grow without moving anything else.
const PeSection* ResourceSection(const std::vector<uint8_t>& image, const PeLayout& layout,
                                 std::string& error) {
    const PeDirectory resources = layout.Directory(image.data(), kResourceDirectory);
    const PeSection* last = nullptr;
    for (const PeSection& section : layout.sections)
        if (last == nullptr || section.rawOffset > last->rawOffset) last = &section;
    const bool lastInMemory =
        std::all_of(layout.sections.begin(), layout.sections.end(),
                    [&](const PeSection& s) { return s.virtualAddress <= last->virtualAddress; });
    if (resources.size == 0 || resources.address != last->virtualAddress || !lastInMemory ||
        static_cast<uint64_t>(last->rawOffset) + last->rawSize != image.size()) {
        error = "the module's resources are not its last section, which branding needs";
        return nullptr;
    }
    return last;
}

bool BrandVersions(ResourceTree& tree, const Branding& branding, std::string& error) {
    ResourceType* versions = tree.Find(kVersionType);
    if (versions == nullptr) {
        error = "the module has no version block";
        return false;
    }
    for (ResourceEntry& entry : versions->entries) {
        for (ResourceItem& item : entry.languages) {
            VersionNode root;
            if (!ParseVersionResource(item.data, root, error) ||
                !SetVersionStrings(root, branding.version, error))
                return false;
            item.data = BuildVersionResource(root);
            if (item.data.size() > 0xFFFF) {
                error = "the version block would be larger than 64 KiB";
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool ApplyBranding(std::vector<uint8_t>& image, const Branding& branding, std::string& error) {
    PeLayout layout;
    if (!ReadPeLayout(image.data(), image.size(), layout, error)) return false;
    if (layout.Directory(image.data(), kSecurityDirectory).size != 0) {
        error = "the module is signed; branding would break its signature";
        return false;
    }
    const PeSection* section = ResourceSection(image, layout, error);
    if (section == nullptr) return false;

    ResourceTree tree;
    if (!ParseResourceTree(image.data() + section->rawOffset, section->rawSize, section->virtualAddress, tree,
                           error))
        return false;
    if (!branding.icon.empty() && !ReplaceMainIcon(tree, branding.icon, error)) return false;
    if (!branding.version.empty() && !BrandVersions(tree, branding, error)) return false;
    const std::vector<uint8_t> resources = BuildResourceTree(tree, section->virtualAddress);

    // The new section replaces the old one's bytes at the end of the image.
    const uint32_t rawSize = AlignUp(resources.size(), layout.fileAlignment);
    const uint32_t virtualSize = static_cast<uint32_t>(resources.size());
    const uint32_t oldRawSize = section->rawSize;
    image.resize(section->rawOffset);
    image.insert(image.end(), resources.begin(), resources.end());
    image.resize(static_cast<size_t>(section->rawOffset) + rawSize, 0);

    WriteLe32(&image[section->header + 8], virtualSize);
    WriteLe32(&image[section->header + 16], rawSize);
    WriteLe32(&image[layout.DirectoryOffset(kResourceDirectory) + 4], virtualSize);
    uint8_t* optional = &image[layout.optionalHeader];
    if (section->characteristics & kInitializedData)
        WriteLe32(optional + kSizeOfInitializedData,
                  ReadLe32(optional + kSizeOfInitializedData) - oldRawSize + rawSize);
    uint64_t end = 0;
    for (const PeSection& s : layout.sections)
        end = std::max<uint64_t>(end,
                                 uint64_t{s.virtualAddress} + (&s == section ? virtualSize : s.virtualSize));
    WriteLe32(optional + kSizeOfImage, AlignUp(end, layout.sectionAlignment));

    // The checksum of the image, as the linker computes it (a signing tool
    // computes it again over the whole signed file).
    PeChecksum checksum(layout.ChecksumOffset());
    checksum.Update(image.data(), image.size());
    WriteLe32(&image[layout.ChecksumOffset()], checksum.Finish());
    return true;
}

}  // namespace mksfx
