#include "pe/icon_file.h"

#include <cstring>

#include "base/byte_order.h"

namespace pe {
namespace {

constexpr size_t kIconDirSize = 6;        // reserved, type 1, count
constexpr size_t kFileEntrySize = 16;     // ICONDIRENTRY: ends with the image's file offset
constexpr size_t kBitmapHeaderSize = 40;  // BITMAPINFOHEADER, the smallest an icon uses
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsPng(const std::vector<uint8_t>& data) {
    return data.size() >= sizeof kPngSignature &&
           std::memcmp(data.data(), kPngSignature, sizeof kPngSignature) == 0;
}

// An image is a PNG file or a bitmap that starts with its info header.
bool IsBitmap(const std::vector<uint8_t>& data) {
    return data.size() >= kBitmapHeaderSize && ReadLe32(data.data()) >= kBitmapHeaderSize &&
           ReadLe32(data.data()) <= data.size();
}

// Some .ico writers leave planes and bit count at 0; the system picks an
// image by them, so they come from the image itself.
void FillDepth(IconImage& image) {
    if (image.planes != 0 && image.bitCount != 0) return;
    if (IsPng(image.data)) {
        image.planes = 1;
        image.bitCount = 32;
    } else {
        image.planes = ReadLe16(image.data.data() + 12);
        image.bitCount = ReadLe16(image.data.data() + 14);
    }
}

}  // namespace

bool ReadIconFile(const uint8_t* file, size_t size, std::vector<IconImage>& images, std::string& error) {
    images.clear();
    std::vector<IconImage> read;
    if (size < kIconDirSize || ReadLe16(file) != 0 || ReadLe16(file + 2) != 1) {
        error = "not an icon file";
        return false;
    }
    const size_t count = ReadLe16(file + 4);
    if (count == 0 || (size - kIconDirSize) / kFileEntrySize < count) {
        error = count == 0 ? "the icon file holds no image" : "the icon file's directory is cut short";
        return false;
    }
    for (size_t i = 0; i < count; i++) {
        const uint8_t* entry = file + kIconDirSize + i * kFileEntrySize;
        const uint32_t length = ReadLe32(entry + 8);
        const uint32_t offset = ReadLe32(entry + 12);
        if (length == 0 || offset > size || size - offset < length) {
            error = "image " + std::to_string(i + 1) + " of the icon file lies outside it";
            return false;
        }
        IconImage image;
        image.width = entry[0];
        image.height = entry[1];
        image.colorCount = entry[2];
        image.planes = ReadLe16(entry + 4);
        image.bitCount = ReadLe16(entry + 6);
        image.data.assign(file + offset, file + offset + length);
        if (!IsPng(image.data) && !IsBitmap(image.data)) {
            error = "image " + std::to_string(i + 1) + " of the icon file is neither a bitmap nor a PNG";
            return false;
        }
        FillDepth(image);
        read.push_back(std::move(image));
    }
    images = std::move(read);
    return true;
}

}  // namespace pe
