// Fuzz target: an .ico file, as mksfx --icon reads it.  Its images, when
// it reads, lie within the file and become the main icon of a small tree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "fuzz_support.h"
#include "pe/icon_file.h"
#include "pe/icon_group.h"
#include "pe_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<pe::IconImage> images;
    std::string error;
    if (!pe::ReadIconFile(data, size, images, error)) {
        FUZZ_CHECK(!error.empty() && images.empty());
        return 0;
    }
    FUZZ_CHECK(size >= 6 && images.size() == ReadLe16(data + 4));
    for (const pe::IconImage& image : images) FUZZ_CHECK(!image.data.empty() && image.data.size() <= size);

    // As the main icon of a tree with one group of one image.
    pe::ResourceTree tree;
    pe::ResourceEntry group;
    group.name.id = 1;
    group.languages.resize(1);
    group.languages[0].data = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 1, 0};
    tree.Add(pe::kIconGroupType).entries.push_back(group);
    FUZZ_CHECK(pe::ReplaceMainIcon(tree, images, error));
    const std::vector<pe::IconGroupEntry> entries =
        pe::ReadIconGroup(tree.FirstItem(pe::kIconGroupType)->data);
    FUZZ_CHECK(entries.size() == images.size());
    for (size_t i = 0; i < entries.size(); i++) {
        FUZZ_CHECK(entries[i].size == images[i].data.size());
        FUZZ_CHECK(entries[i].width == images[i].width && entries[i].bitCount == images[i].bitCount);
    }
    fuzz::CheckRebuilds(tree, 0x9000);
    return 0;
}
