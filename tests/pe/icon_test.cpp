// Icons: .ico files read and refused, icon groups read, and the main icon
// replaced while images other groups use stay.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "pe/icon_file.h"
#include "pe/icon_group.h"
#include "test_images.h"

namespace {

using pe_test::Bytes;

// A 32-bit square bitmap image as an icon holds it: info header, colours,
// mask.
Bytes Bitmap(uint8_t size, uint8_t shade) {
    Bytes b(40 + size * size * 4 + size * ((size + 31) / 32 * 4), shade);
    std::fill(b.begin(), b.begin() + 40, 0);
    WriteLe32(&b[0], 40);
    WriteLe32(&b[4], size);
    WriteLe32(&b[8], size * 2u);
    WriteLe16(&b[12], 1);
    WriteLe16(&b[14], 32);
    return b;
}

Bytes Png() {
    Bytes b(300, 0x5A);
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::copy(std::begin(signature), std::end(signature), b.begin());
    return b;
}

// An .ico file of these images; planes and bit count 0 for PNGs, as some
// writers leave them.
Bytes Ico(const std::vector<Bytes>& images) {
    Bytes f(6 + 16 * images.size(), 0);
    WriteLe16(&f[2], 1);
    WriteLe16(&f[4], static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); i++) {
        uint8_t* e = &f[6 + 16 * i];
        const bool png = images[i][0] == 0x89;
        e[0] = e[1] = png ? 0 : images[i][4];
        WriteLe16(e + 4, png ? 0 : 1);
        WriteLe16(e + 6, png ? 0 : 32);
        WriteLe32(e + 8, static_cast<uint32_t>(images[i].size()));
        WriteLe32(e + 12, static_cast<uint32_t>(f.size()));
        f.insert(f.end(), images[i].begin(), images[i].end());
    }
    return f;
}

TEST(IconFile, ImagesAndTheirDepth) {
    std::vector<pe::IconImage> images;
    std::string error;
    const Bytes file = Ico({Bitmap(16, 1), Png()});
    ASSERT_TRUE(pe::ReadIconFile(file.data(), file.size(), images, error)) << error;
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].width, 16);
    EXPECT_EQ(images[0].bitCount, 32);
    EXPECT_EQ(images[0].data, Bitmap(16, 1));
    EXPECT_EQ(images[1].data, Png());
    EXPECT_EQ(images[1].width, 0);  // 256
    EXPECT_EQ(images[1].planes, 1);
    EXPECT_EQ(images[1].bitCount, 32);

    // A bitmap's depth left at 0 comes from its header.
    Bytes zero = Ico({Bitmap(16, 1)});
    WriteLe16(&zero[6 + 6], 0);
    Bytes deep = Bitmap(16, 1);
    WriteLe16(&deep[14], 8);
    std::copy(deep.begin(), deep.end(), zero.begin() + 22);
    ASSERT_TRUE(pe::ReadIconFile(zero.data(), zero.size(), images, error)) << error;
    EXPECT_EQ(images[0].bitCount, 8);
}

TEST(IconFile, RefusalsSayWhy) {
    const Bytes good = Ico({Bitmap(16, 1), Png()});
    Bytes outside = good;
    WriteLe32(&outside[6 + 16 + 12], static_cast<uint32_t>(good.size() - 10));
    Bytes empty = good;
    WriteLe32(&empty[6 + 8], 0);
    Bytes notImage = good;
    notImage[6 + 2 * 16] = 0x13;  // the first image's bitmap header size
    Bytes noImages = good;
    noImages[4] = 0;
    const std::pair<Bytes, const char*> bad[] = {
        {Bytes{'B', 'M', 0, 0, 0, 0}, "not an icon file"},
        {Bytes{0, 0, 1}, "not an icon file"},
        {Bytes(good.begin(), good.begin() + 20), "the icon file's directory is cut short"},
        {noImages, "the icon file holds no image"},
        {outside, "image 2 of the icon file lies outside it"},
        {empty, "image 1 of the icon file lies outside it"},
        {notImage, "image 1 of the icon file is neither a bitmap nor a PNG"},
    };
    for (const auto& [file, message] : bad) {
        std::vector<pe::IconImage> images;
        std::string error;
        pe_test::GuardedBuffer guarded(file);
        EXPECT_FALSE(pe::ReadIconFile(guarded.data(), guarded.size(), images, error)) << message;
        EXPECT_EQ(error, message);
    }
}

TEST(IconGroup, EntriesAndMalformedGroups) {
    const Bytes group = pe_test::MakeIconGroup({7, 9});
    const std::vector<pe::IconGroupEntry> entries = pe::ReadIconGroup(group);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].id, 9);
    EXPECT_EQ(entries[1].width, 16);
    EXPECT_EQ(entries[1].bitCount, 32);
    EXPECT_EQ(entries[1].size, 40u);
    EXPECT_TRUE(pe::ReadIconGroup(Bytes(group.begin(), group.end() - 1)).empty());
    EXPECT_TRUE(pe::ReadIconGroup(Bytes{0, 0, 1, 0}).empty());
    EXPECT_TRUE(pe::ReadIconGroup(pe_test::MakeIconGroup({})).empty());
}

pe::ResourceTree Groups() {
    // Group 1 uses images 1 and 2, group 2 uses image 2; image 5 stands alone.
    pe::ResourceTree tree;
    for (const uint16_t id : {1, 2, 5})
        tree.Add(pe::kIconType)
            .entries.push_back(pe_test::Entry(id, u"", {pe_test::Item(0, Bytes{uint8_t(id)})}));
    tree.Add(pe::kIconGroupType)
        .entries.push_back(pe_test::Entry(1, u"", {pe_test::Item(0x409, pe_test::MakeIconGroup({1, 2}))}));
    tree.Add(pe::kIconGroupType)
        .entries.push_back(pe_test::Entry(2, u"", {pe_test::Item(0, pe_test::MakeIconGroup({2}))}));
    return tree;
}

std::vector<pe::IconImage> Images(size_t count) {
    std::vector<pe::IconImage> images(count);
    for (size_t i = 0; i < count; i++) images[i].data = Bytes(4, uint8_t(0xA0 + i));
    return images;
}

std::vector<uint16_t> Ids(const pe::ResourceItem* group) {
    std::vector<uint16_t> ids;
    for (const pe::IconGroupEntry& e : pe::ReadIconGroup(group->data)) ids.push_back(e.id);
    return ids;
}

TEST(ReplaceMainIcon, SharedImagesStayAndNewIdsAvoidThem) {
    pe::ResourceTree tree = Groups();
    std::string error;
    ASSERT_TRUE(pe::ReplaceMainIcon(tree, Images(3), error)) << error;
    EXPECT_EQ(Ids(tree.FirstItem(pe::kIconGroupType)), (std::vector<uint16_t>{1, 6, 7}));
    std::vector<uint16_t> present;
    for (const pe::ResourceEntry& e : tree.Find(pe::kIconType)->entries) {
        present.push_back(e.name.id);
        if (e.name.id == 2) {
            EXPECT_EQ(e.languages[0].data, Bytes{2});
        }
        if (e.name.id == 1) {
            EXPECT_EQ(e.languages[0].language, 0x409);  // the group's language
            EXPECT_EQ(e.languages[0].data, Images(1)[0].data);
        }
    }
    std::sort(present.begin(), present.end());
    EXPECT_EQ(present, (std::vector<uint16_t>{1, 2, 5, 6, 7}));
}

TEST(ReplaceMainIcon, AGroupWithoutAnImageType) {
    // Adding the image type moves the types; the group is found after.
    pe::ResourceTree tree;
    tree.Add(pe::kIconGroupType).entries.push_back({{1, {}}, {{0, 0, pe_test::MakeIconGroup({3})}}});
    tree.types.shrink_to_fit();
    std::string error;
    ASSERT_TRUE(pe::ReplaceMainIcon(tree, Images(2), error)) << error;
    EXPECT_EQ(Ids(tree.FirstItem(pe::kIconGroupType)), (std::vector<uint16_t>{1, 2}));
    EXPECT_EQ(tree.Find(pe::kIconType)->entries.size(), 2u);
}

TEST(ReplaceMainIcon, RefusalsSayWhy) {
    std::string error;
    pe::ResourceTree none;
    EXPECT_FALSE(pe::ReplaceMainIcon(none, Images(1), error));
    EXPECT_EQ(error, "the image has no icon to replace");
    pe::ResourceTree noLanguage = Groups();
    noLanguage.Find(pe::kIconGroupType)->entries[0].languages.clear();
    EXPECT_FALSE(pe::ReplaceMainIcon(noLanguage, Images(1), error));
    EXPECT_EQ(error, "the image has no icon to replace");
    pe::ResourceTree tree = Groups();
    EXPECT_FALSE(pe::ReplaceMainIcon(tree, {}, error));
    EXPECT_EQ(error, "an icon needs between 1 and 65535 images");
    // Ids run out: image 65535 is in use, and the group frees only image 1.
    tree.Find(pe::kIconType)->entries.push_back({{65535, {}}, {{0, 0, Bytes{9}}}});
    EXPECT_FALSE(pe::ReplaceMainIcon(tree, Images(2), error));
    EXPECT_EQ(error, "no free icon ids for 2 images");
}

}  // namespace
