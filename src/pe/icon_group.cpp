#include "pe/icon_group.h"

#include <algorithm>
#include <set>

#include "base/byte_order.h"

namespace pe {
namespace {

constexpr size_t kGroupHeaderSize = 6;  // reserved, type 1, count
constexpr size_t kGroupEntrySize = 14;  // GRPICONDIRENTRY: ends with the image's resource id

std::vector<uint8_t> MakeGroup(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids) {
    std::vector<uint8_t> group(kGroupHeaderSize + images.size() * kGroupEntrySize);
    WriteLe16(&group[2], 1);
    WriteLe16(&group[4], static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); i++) {
        uint8_t* entry = &group[kGroupHeaderSize + i * kGroupEntrySize];
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

void AddIds(const std::vector<ResourceItem>& items, std::set<uint16_t>& ids) {
    for (const ResourceItem& item : items)
        for (const IconGroupEntry& entry : ReadIconGroup(item.data)) ids.insert(entry.id);
}

}  // namespace

std::vector<IconGroupEntry> ReadIconGroup(const std::vector<uint8_t>& group) {
    std::vector<IconGroupEntry> entries;
    if (group.size() < kGroupHeaderSize) return entries;
    const size_t count = ReadLe16(&group[4]);
    if ((group.size() - kGroupHeaderSize) / kGroupEntrySize < count) return entries;
    for (size_t i = 0; i < count; i++) {
        const uint8_t* e = &group[kGroupHeaderSize + i * kGroupEntrySize];
        entries.push_back(
            {e[0], e[1], e[2], ReadLe16(e + 4), ReadLe16(e + 6), ReadLe32(e + 8), ReadLe16(e + 12)});
    }
    return entries;
}

bool ReplaceMainIcon(ResourceTree& tree, const std::vector<IconImage>& images, std::string& error) {
    const ResourceType* found = tree.Find(kIconGroupType);
    if (found == nullptr || found->entries.empty() || found->entries[0].languages.empty()) {
        error = "the image has no icon to replace";
        return false;
    }
    if (images.empty() || images.size() > 0xFFFF) {
        error = "an icon needs between 1 and 65535 images";
        return false;
    }
    // Adding the image type may move the others: the group is found after.
    ResourceType& icons = tree.Add(kIconType);
    ResourceType& groups = *tree.Find(kIconGroupType);
    ResourceEntry& main = groups.entries[0];
    std::set<uint16_t> old, kept;
    AddIds(main.languages, old);
    for (size_t i = 1; i < groups.entries.size(); i++) AddIds(groups.entries[i].languages, kept);

    // The old images no other group needs make room.
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

}  // namespace pe
