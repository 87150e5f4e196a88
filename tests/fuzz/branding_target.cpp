// Fuzz target: branding a module, as mksfx --version and --icon do, with
// version strings alone and with an icon too.  The input is the module's
// file.  Branding either refuses with a message and
// leaves the bytes alone, or gives an image that reads: its resources the
// last section, ending at the end of the file, the new icon's images in
// the tree, the checksum its own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "branding.h"
#include "fuzz_support.h"
#include "pe/checksum.h"
#include "pe/icon_group.h"
#include "pe/image.h"
#include "pe/image_end.h"
#include "pe/resource_editor.h"
#include "pe_fuzz_support.h"

namespace {

void Brand(const uint8_t* data, size_t size, const mksfx::Branding& branding) {
    std::vector<uint8_t> image(data, data + size);
    std::string error;
    if (!mksfx::ApplyBranding(image, branding, error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(image.size() == size && std::equal(image.begin(), image.end(), data));
        return;
    }
    pe::Image headers;
    FUZZ_CHECK(pe::ReadImage(image.data(), image.size(), headers, error));
    FUZZ_CHECK(FindImageEnd(image.data(), image.size()) == image.size());
    FUZZ_CHECK(headers.checksum == pe::FileChecksum(image.data(), image.size(), headers.ChecksumOffset()));
    pe::ResourceTree tree;
    FUZZ_CHECK(pe::ReadEditableResources(image, tree, error));
    if (!branding.icon.empty()) {
        const pe::ResourceItem* group = tree.FirstItem(pe::kIconGroupType);
        FUZZ_CHECK(group != nullptr && pe::ReadIconGroup(group->data).size() == branding.icon.size());
    }
    // Between the headers and the resource section the bytes are the
    // module's.
    uint32_t resources = 0;
    for (const pe::Section& section : headers.sections)
        if (section.rawOffset > resources) resources = section.rawOffset;
    const size_t headersEnd = headers.span.sectionTable + headers.span.sectionCount * 40;
    FUZZ_CHECK(headersEnd <= resources && resources <= size);
    FUZZ_CHECK(std::equal(image.begin() + headersEnd, image.begin() + resources, data + headersEnd));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Version strings alone, then with an icon.
    mksfx::Branding branding;
    branding.version = {{"ProductName", "Fuzz \xE2\x9C\x93"}, {"FileVersion", "1.2.3.4"}};
    Brand(data, size, branding);
    branding.icon = fuzz::BrandingImages();
    Brand(data, size, branding);
    return 0;
}
