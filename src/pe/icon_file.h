// The images of an .ico file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pe {

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

// Reads every image of an .ico file.  False, with a message and no
// images, for a file that is not an icon or whose images lie outside it or
// are neither bitmaps nor PNGs.  Planes and bit count left at 0 come from
// the image.
bool ReadIconFile(const uint8_t* file, size_t size, std::vector<IconImage>& images, std::string& error);

}  // namespace pe
