// Reading an image's resource tree, and writing a new tree in its place.
// The resource section is rebuilt in the linker's layout at the same
// address, which needs it to be the image's last section in the file and
// in memory, its raw data ending at the end of the image, so that it can
// grow without moving anything else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/image.h"
#include "pe/resource_tree.h"

namespace pe {

// Reads the tree from the section at the resource directory's address in
// the image whose headers ReadImage found in the same bytes.  False, with
// a message, when the image has no resources, their section's raw data
// lies beyond `size`, or the tree is malformed.
bool ReadResources(const uint8_t* bytes, size_t size, const Image& image, ResourceTree& tree,
                   std::string& error);

// Reads the tree of an image that WriteResources can rewrite.  False, with
// a message, for anything else: not a PE32 image, signed, resources that
// are not the last section, a file alignment above 64 KiB.
bool ReadEditableResources(const std::vector<uint8_t>& image, ResourceTree& tree, std::string& error);

// Replaces the resource section of `image` with `tree`.  Its virtual and
// raw sizes, the resource directory's size, SizeOfInitializedData,
// SizeOfImage and the image's checksum follow the new section.  False,
// with a message and `image` unchanged, where ReadEditableResources fails.
bool WriteResources(std::vector<uint8_t>& image, const ResourceTree& tree, std::string& error);

}  // namespace pe
