#include "pe_fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/byte_order.h"
#include "fuzz_support.h"
#include "pe/icon_group.h"
#include "pe/version_block.h"

namespace fuzz {

ScratchFile::ScratchFile(const char* suffix) {
    const char* folder = std::getenv("TMPDIR");
    path_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/lzhsfx-fuzz-" +
            std::to_string(getpid()) + suffix;
}

ScratchFile::~ScratchFile() { std::remove(path_.c_str()); }

void ScratchFile::Write(const uint8_t* data, size_t size) const {
    FILE* file = std::fopen(path_.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size);
    FUZZ_CHECK(std::fclose(file) == 0);
}

std::vector<pe::IconImage> BrandingImages() {
    std::vector<pe::IconImage> images(2);
    images[0].width = images[0].height = 16;
    images[0].planes = 1;
    images[0].bitCount = 32;
    images[0].data.assign(40 + 16 * 16 * 4 + 16 * 4, 0x5A);
    std::fill(images[0].data.begin(), images[0].data.begin() + 40, 0);
    WriteLe32(&images[0].data[0], 40);
    WriteLe32(&images[0].data[4], 16);
    WriteLe32(&images[0].data[8], 32);
    WriteLe16(&images[0].data[12], 1);
    WriteLe16(&images[0].data[14], 32);
    images[1].planes = 1;
    images[1].bitCount = 32;
    images[1].data = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0};
    return images;
}

void CheckRebuilds(const pe::ResourceTree& tree, uint32_t rva) {
    const std::vector<uint8_t> built = pe::BuildResourceTree(tree, rva);
    pe::ResourceTree again;
    std::string error;
    FUZZ_CHECK(pe::ParseResourceTree(built.data(), built.size(), rva, again, error));
    FUZZ_CHECK(pe::BuildResourceTree(again, rva) == built);
}

void CheckResourceContents(const pe::ResourceTree& tree) {
    for (const pe::ResourceType& type : tree.types) {
        for (const pe::ResourceEntry& entry : type.entries) {
            for (const pe::ResourceItem& item : entry.languages) {
                if (type.type.Is(pe::kIconGroupType)) {
                    const std::vector<pe::IconGroupEntry> group = pe::ReadIconGroup(item.data);
                    FUZZ_CHECK(group.empty() || 6 + 14 * group.size() <= item.data.size());
                } else if (type.type.Is(pe::kVersionType)) {
                    pe::VersionNode root, again;
                    std::string error;
                    if (!pe::ParseVersionBlock(item.data, root, error)) {
                        FUZZ_CHECK(!error.empty());
                        continue;
                    }
                    const std::vector<uint8_t> built = pe::BuildVersionBlock(root);
                    FUZZ_CHECK(pe::ParseVersionBlock(built, again, error));
                    FUZZ_CHECK(pe::BuildVersionBlock(again) == built);
                    if (pe::SetVersionString(root, u"ProductName", u"Fuzz \u2713")) {
                        FUZZ_CHECK(pe::ParseVersionBlock(pe::BuildVersionBlock(root), again, error) ||
                                   pe::BuildVersionBlock(root).size() > 0xFFFF);
                    }
                }
            }
        }
    }
}

}  // namespace fuzz
