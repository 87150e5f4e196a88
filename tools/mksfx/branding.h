// Branding: the package carries the product's icon and version strings
// instead of the module's.  The module's resource section, its last, is
// rebuilt in place by the resource editor (pe/resource_editor.h); the
// sections before it keep their bytes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pe/icon_file.h"

namespace mksfx {

struct Branding {
    std::vector<pe::IconImage> icon;                           // empty: the module's own
    std::vector<std::pair<std::string, std::string>> version;  // canonical name, UTF-8 value
};

// Rewrites the resources of the module image in `image`: the first icon
// group and its images, every language's string table of every version
// block, and the fixed file info's numbers.  False, with a message and the
// image unchanged, for a module whose resources cannot be rewritten or
// that lacks an icon or a version block to change.
bool ApplyBranding(std::vector<uint8_t>& image, const Branding& branding, std::string& error);

}  // namespace mksfx
