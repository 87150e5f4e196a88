// Icons: the images of an .ico file, and the icon group resource that
// lists them, which replaces the module's own icon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resource_tree.h"

namespace mksfx {

// One image of an icon: its directory entry's fields and its bytes (a
// device-independent bitmap or a PNG file), as an .ico file and an icon
// resource both hold them.
struct IconImage {
    uint8_t width = 0;  // 0 stands for 256
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    std::vector<uint8_t> data;
};

// Reads every image of an .ico file.  False, with a message, for a file
// that is not an icon or whose images lie outside it.
bool ReadIconFile(const std::vector<uint8_t>& file, std::vector<IconImage>& images, std::string& error);

// Replaces the first icon group (the program's own icon, the one Explorer
// shows) with one of these images.  The group's old images go unless
// another group uses them; the new images take their ids first, then ids
// above every image id in use.
bool ReplaceMainIcon(ResourceTree& tree, const std::vector<IconImage>& images, std::string& error);

// The image ids an icon group resource lists (empty for a malformed one).
std::vector<uint16_t> IconGroupIds(const std::vector<uint8_t>& group);

}  // namespace mksfx
