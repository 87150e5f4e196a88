// Fuzz target: a resource section.  The input is the section's address
// (4 bytes, little-endian) and its bytes.  A tree that reads is written
// and read back, its icon groups and version blocks are read, and the
// edits branding makes (the main icon replaced, a version string set) give
// trees that write and read again.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "base/byte_order.h"
#include "fuzz_support.h"
#include "pe/icon_group.h"
#include "pe/resource_tree.h"
#include "pe_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint32_t rva = ReadLe32(data);
    // An exact copy of the section, so that AddressSanitizer sees any read
    // beyond it.
    const std::vector<uint8_t> section(data + 4, data + size);
    pe::ResourceTree tree;
    std::string error;
    if (!pe::ParseResourceTree(section.data(), section.size(), rva, tree, error)) {
        FUZZ_CHECK(error.rfind("resource section: ", 0) == 0);
        return 0;
    }
    size_t items = 0, bytes = 0;
    for (const pe::ResourceType& type : tree.types)
        for (const pe::ResourceEntry& entry : type.entries)
            for (const pe::ResourceItem& item : entry.languages) {
                items++;
                bytes += item.data.size();
            }
    FUZZ_CHECK(items <= section.size() / 8 && bytes <= section.size());
    fuzz::CheckRebuilds(tree, rva);
    fuzz::CheckResourceContents(tree);

    // The main icon replaced: its group lists images that are all there.
    pe::ResourceTree branded = tree;
    const std::vector<pe::IconImage> images = fuzz::BrandingImages();
    if (pe::ReplaceMainIcon(branded, images, error)) {
        const pe::ResourceType* icons = branded.Find(pe::kIconType);
        FUZZ_CHECK(icons != nullptr);
        std::set<uint16_t> present;
        for (const pe::ResourceEntry& entry : icons->entries)
            if (!entry.name.IsNamed()) present.insert(entry.name.id);
        const pe::ResourceType* groups = branded.Find(pe::kIconGroupType);
        FUZZ_CHECK(groups != nullptr && !groups->entries.empty() && !groups->entries[0].languages.empty());
        const std::vector<pe::IconGroupEntry> group = pe::ReadIconGroup(groups->entries[0].languages[0].data);
        FUZZ_CHECK(group.size() == images.size());
        for (const pe::IconGroupEntry& entry : group) FUZZ_CHECK(present.count(entry.id) == 1);
        fuzz::CheckRebuilds(branded, rva);
    } else {
        FUZZ_CHECK(!error.empty());
    }
    return 0;
}
