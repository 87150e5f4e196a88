#include "icon_resources.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "pe_image.h"

namespace mksfx {
namespace {

constexpr size_t kIconDirSize = 6;        // reserved, type 1, count
constexpr size_t kFileEntrySize = 16;     // ICONDIRENTRY: ends with the image's file offset
constexpr size_t kGroupEntrySize = 14;    // GRPICONDIRENTRY: ends with the image's resource id
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

std::vector<uint8_t> MakeGroup(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids) {
    std::vector<uint8_t> group(kIconDirSize + images.size() * kGroupEntrySize);
    WriteLe16(&group[2], 1);
    WriteLe16(&group[4], static_cast<uint16_t>(images.size()));
    for (size_t i = 0; i < images.size(); i++) {
        uint8_t* entry = &group[kIconDirSize + i * kGroupEntrySize];
        entry[0] = images[i].width;
        entry[1] = images[i].height;
        entry[2] = images[i].colorCount;
        WriteLe16(entry + 4, images[i].planes);
        WriteLe16(entry + 6, images[i].bitCount);
        WriteLe32(entry + 8, static_cast<uint32_t>(images[i].data.size()));
        WriteLe16(entry + 12, ids[i]);
    }
    return group;
}

}  // namespace

bool ReadIconFile(const std::vector<uint8_t>& file, std::vector<IconImage>& images, std::string& error) {
    images.clear();
    if (file.size() < kIconDirSize || ReadLe16(&file[0]) != 0 || ReadLe16(&file[2]) != 1) {
        error = "not an icon file";
        return false;
    }
    const size_t count = ReadLe16(&file[4]);
    if (count == 0 || (file.size() - kIconDirSize) / kFileEntrySize < count) {
        error = count == 0 ? "the icon file holds no image" : "the icon file's directory is cut short";
        return false;
    }
    for (size_t i = 0; i < count; i++) {
        const uint8_t* entry = &file[kIconDirSize + i * kFileEntrySize];
        const uint32_t size = ReadLe32(entry + 8);
        const uint32_t offset = ReadLe32(entry + 12);
        if (size == 0 || offset > file.size() || file.size() - offset < size) {
            error = "image " + std::to_string(i + 1) + " of the icon file lies outside it";
            return false;
        }
        IconImage image;
        image.width = entry[0];
        image.height = entry[1];
        image.colorCount = entry[2];
        image.planes = ReadLe16(entry + 4);
        image.bitCount = ReadLe16(entry + 6);
        image.data.assign(file.begin() + offset, file.begin() + offset + size);
        if (!IsPng(image.data) && !IsBitmap(image.data)) {
            error = "image " + std::to_string(i + 1) + " of the icon file is neither a bitmap nor a PNG";
            return false;
        }
        FillDepth(image);
        images.push_back(std::move(image));
    }
    return true;
}

std::vector<uint16_t> IconGroupIds(const std::vector<uint8_t>& group) {
    std::vector<uint16_t> ids;
    if (group.size() < kIconDirSize) return ids;
    const size_t count = ReadLe16(&group[4]);
    if ((group.size() - kIconDirSize) / kGroupEntrySize < count) return ids;
    for (size_t i = 0; i < count; i++)
        ids.push_back(ReadLe16(&group[kIconDirSize + i * kGroupEntrySize + 12]));
    return ids;
}

bool ReplaceMainIcon(ResourceTree& tree, const std::vector<IconImage>& images, std::string& error) {
    ResourceType* groups = tree.Find(kIconGroupType);
    if (groups == nullptr || groups->entries.empty() || groups->entries[0].languages.empty()) {
        error = "the module has no icon to replace";
        return false;
    }
    if (images.empty() || images.size() > 0xFFFF) {
        error = "an icon needs between 1 and 65535 images";
        return false;
    }
    ResourceEntry& main = groups->entries[0];
    std::set<uint16_t> old, kept;
    for (const ResourceItem& item : main.languages)
        for (const uint16_t id : IconGroupIds(item.data)) old.insert(id);
    for (size_t i = 1; i < groups->entries.size(); i++)
        for (const ResourceItem& item : groups->entries[i].languages)
            for (const uint16_t id : IconGroupIds(item.data)) kept.insert(id);

    // The old images no other group needs make room.
    ResourceType& icons = tree.Add(kIconType);
    std::vector<uint16_t> freed;
    uint32_t highest = 0;
    for (const ResourceEntry& entry : icons.entries)
        if (!entry.name.IsNamed()) highest = std::max<uint32_t>(highest, entry.name.id);
    std::erase_if(icons.entries, [&](const ResourceEntry& entry) {
        const bool unused =
            !entry.name.IsNamed() && old.count(entry.name.id) != 0 && kept.count(entry.name.id) == 0;
        if (unused) freed.push_back(entry.name.id);
        return unused;
    });
    std::sort(freed.begin(), freed.end());
    if (highest + images.size() > 0xFFFF + freed.size()) {
        error = "no free icon ids for " + std::to_string(images.size()) + " images";
        return false;
    }

    std::vector<uint16_t> ids;
    for (size_t i = 0; i < images.size(); i++) {
        const uint16_t id =
            i < freed.size() ? freed[i] : static_cast<uint16_t>(highest + 1 + (i - freed.size()));
        ids.push_back(id);
        ResourceItem item;
        item.language = main.languages[0].language;
        item.data = images[i].data;
        icons.entries.push_back(ResourceEntry{ResourceId{id, {}}, {std::move(item)}});
    }
    const std::vector<uint8_t> group = MakeGroup(images, ids);
    for (ResourceItem& item : main.languages) item.data = group;
    return true;
}

}  // namespace mksfx
