// Branding: the package carries the product's icon and version strings
// instead of the module's.  The module's resource section, its last, is
// rebuilt in place; the sections before it keep their bytes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "icon_resources.h"

namespace mksfx {

struct Branding {
    std::vector<IconImage> icon;                               // empty: the module's own
    std::vector<std::pair<std::string, std::string>> version;  // canonical name, UTF-8 value

    bool Empty() const { return icon.empty() && version.empty(); }
};

// Rewrites the resources of the module image in `image`: the first icon
// group and its images, every language's string table of every version
// block, and the fixed file info's numbers.  Then the resource section's
// sizes, the resource directory's size, SizeOfInitializedData, SizeOfImage
// and the checksum follow the new section, whose raw data ends at the end
// of the image.  False, with a message, for a module whose resources are
// not its last section or cannot be read.
bool ApplyBranding(std::vector<uint8_t>& image, const Branding& branding, std::string& error);

}  // namespace mksfx
