// The icon group resource (RT_GROUP_ICON): the images of one icon, each
// named by the id of its RT_ICON resource.  The first group is the
// program's own icon, the one Explorer shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe/icon_file.h"
#include "pe/resource_tree.h"

namespace pe {

// One entry of a group: an image's fields and its resource id.
struct IconGroupEntry {
    uint8_t width = 0;  // 0 stands for 256
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t size = 0;
    uint16_t id = 0;
};

// The entries of a group resource; empty for a malformed one (shorter than
// its count says).
std::vector<IconGroupEntry> ReadIconGroup(const std::vector<uint8_t>& group);

// Replaces the first icon group with these images.  The group's old
// images go unless another group uses them; the new images take their ids
// first, then ids above every image id in use.  False, with a message,
// for a tree without an icon group or a number of images outside
// 1..65535.
bool ReplaceMainIcon(ResourceTree& tree, const std::vector<IconImage>& images, std::string& error);

}  // namespace pe
