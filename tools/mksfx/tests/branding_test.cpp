// Branding over the real module (SFX_MODULE, the built sfx.exe): its
// resource tree and version block read and written back unchanged, the
// PE checksum as the linker computed it, and a branded image checked
// field by field.  Cases that need the module skip without it.
#include "branding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "icon_resources.h"
#include "pe_image.h"
#include "resource_tree.h"
#include "test_files.h"
#include "utf16.h"
#include "version_resource.h"

namespace {

using namespace mksfx;

class RealModule : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("SFX_MODULE");
        if (path == nullptr || (image = ReadBytes(path)).empty())
            GTEST_SKIP() << "SFX_MODULE names no built module";
        std::string error;
        ASSERT_TRUE(ReadPeLayout(image.data(), image.size(), layout, error)) << error;
        ASSERT_EQ(layout.sections.size(), 3u);
        rsrc = layout.sections[2];
        ASSERT_EQ(rsrc.name, ".rsrc");
        ASSERT_TRUE(ParseResourceTree(&image[rsrc.rawOffset], rsrc.rawSize, rsrc.virtualAddress, tree, error))
            << error;
    }

    const ResourceEntry* Entry(const ResourceTree& t, uint16_t type, uint16_t name) {
        for (const ResourceType& rt : t.types)
            if (rt.type.Is(type))
                for (const ResourceEntry& e : rt.entries)
                    if (e.name.Is(name)) return &e;
        return nullptr;
    }

    Bytes image;
    PeLayout layout;
    PeSection rsrc;
    ResourceTree tree;
};

TEST_F(RealModule, ChecksumIsTheLinkersAndIndependentOfPieces) {
    PeChecksum whole(layout.ChecksumOffset());
    whole.Update(image.data(), image.size());
    EXPECT_EQ(whole.Finish(), layout.checksum);
    // Odd pieces split words and the checksum field.
    for (const size_t piece : {size_t{1}, size_t{3}, size_t{4095}}) {
        PeChecksum split(layout.ChecksumOffset());
        for (size_t at = 0; at < image.size(); at += piece)
            split.Update(&image[at], std::min(piece, image.size() - at));
        EXPECT_EQ(split.Finish(), layout.checksum) << piece;
    }
    // One byte more: the length counts, and an odd tail is a low byte.
    Bytes longer = image;
    longer.push_back(0x01);
    PeChecksum odd(layout.ChecksumOffset());
    odd.Update(longer.data(), longer.size());
    EXPECT_EQ(odd.Finish(), layout.checksum + 2);
}

TEST_F(RealModule, ResourceTreeAndVersionBlockAreWrittenBackUnchanged) {
    const Bytes built = BuildResourceTree(tree, rsrc.virtualAddress);
    ASSERT_LE(built.size(), rsrc.rawSize);
    EXPECT_TRUE(std::equal(built.begin(), built.end(), image.begin() + rsrc.rawOffset));
    for (size_t i = rsrc.rawOffset + built.size(); i < image.size(); i++) ASSERT_EQ(image[i], 0) << i;

    const ResourceEntry* version = Entry(tree, kVersionType, 1);
    ASSERT_NE(version, nullptr);
    VersionNode root;
    std::string error;
    ASSERT_TRUE(ParseVersionResource(version->languages[0].data, root, error)) << error;
    EXPECT_EQ(BuildVersionResource(root), version->languages[0].data);
    ASSERT_NE(root.Child(u"StringFileInfo"), nullptr);
    EXPECT_NE(root.Child(u"VarFileInfo"), nullptr);
}

TEST_F(RealModule, BrandedImageKeepsItsLayoutAndEverythingElse) {
    Branding branding;
    std::string error;
    const Bytes ico = IcoFile({BitmapImage(16, 0x11), BitmapImage(32, 0x22), PngImage()}, {16, 32, 256});
    ASSERT_TRUE(ReadIconFile(ico, branding.icon, error)) << error;
    branding.version = {{"ProductName", "Sample Product ™"},
                        {"FileVersion", "2.5.1.7"},
                        {"ProductVersion", "2.5 beta"},
                        {"CompanyName", "Example Co."}};
    Bytes branded = image;
    ASSERT_TRUE(ApplyBranding(branded, branding, error)) << error;

    PeLayout after;
    ASSERT_TRUE(ReadPeLayout(branded.data(), branded.size(), after, error)) << error;
    ASSERT_EQ(after.sections.size(), 3u);
    const PeSection& s = after.sections[2];
    EXPECT_EQ(s.name, ".rsrc");
    EXPECT_EQ(s.rawOffset, rsrc.rawOffset);
    EXPECT_EQ(s.virtualAddress, rsrc.virtualAddress);
    EXPECT_EQ(uint64_t{s.rawOffset} + s.rawSize, branded.size());
    EXPECT_EQ(s.rawSize % layout.fileAlignment, 0u);
    EXPECT_GT(s.rawSize, rsrc.rawSize);  // the new images take room
    const PeDirectory directory = after.Directory(branded.data(), kResourceDirectory);
    EXPECT_EQ(directory.address, s.virtualAddress);
    EXPECT_EQ(directory.size, s.virtualSize);
    EXPECT_EQ(after.sizeOfImage, (s.virtualAddress + s.virtualSize + layout.sectionAlignment - 1) &
                                     ~(layout.sectionAlignment - 1));
    const size_t initialized = layout.optionalHeader + 8;
    EXPECT_EQ(ReadLe32(&branded[initialized]) - ReadLe32(&image[initialized]), s.rawSize - rsrc.rawSize);
    // Headers aside, the bytes before the resources are the module's.
    EXPECT_TRUE(std::equal(image.begin() + 1024, image.begin() + rsrc.rawOffset, branded.begin() + 1024));

    ResourceTree t;
    ASSERT_TRUE(ParseResourceTree(&branded[s.rawOffset], s.rawSize, s.virtualAddress, t, error)) << error;
    // The main group lists the three new images, the replace icon's group
    // still finds its own image.
    const ResourceEntry* main = Entry(t, kIconGroupType, 103);
    const ResourceEntry* other = Entry(t, kIconGroupType, 104);
    ASSERT_TRUE(main && other);
    const std::vector<uint16_t> ids = IconGroupIds(main->languages[0].data);
    ASSERT_EQ(ids.size(), 3u);
    const std::vector<uint16_t> otherIds = IconGroupIds(other->languages[0].data);
    EXPECT_EQ(otherIds, IconGroupIds(Entry(tree, kIconGroupType, 104)->languages[0].data));
    for (size_t i = 0; i < 3; i++) {
        const ResourceEntry* icon = Entry(t, kIconType, ids[i]);
        ASSERT_NE(icon, nullptr) << ids[i];
        EXPECT_EQ(icon->languages[0].data, branding.icon[i].data);
        EXPECT_NE(ids[i], otherIds[0]);
    }
    const Bytes& group = main->languages[0].data;
    EXPECT_EQ(group[6 + 2 * 14], 0);                  // 256 is stored as 0
    EXPECT_EQ(ReadLe16(&group[6 + 2 * 14 + 6]), 32);  // bit count filled in for the PNG

    // Version strings in every table, numbers in the fixed info.
    VersionNode root;
    ASSERT_TRUE(ParseVersionResource(Entry(t, kVersionType, 1)->languages[0].data, root, error)) << error;
    for (VersionNode& table : root.Child(u"StringFileInfo")->children) {
        EXPECT_EQ(pack::Utf16ToUtf8(VersionText(*table.Child(u"ProductName"))), "Sample Product ™");
        EXPECT_EQ(pack::Utf16ToUtf8(VersionText(*table.Child(u"FileVersion"))), "2.5.1.7");
        EXPECT_EQ(pack::Utf16ToUtf8(VersionText(*table.Child(u"InternalName"))), "sfx");  // untouched
    }
    EXPECT_EQ(ReadLe32(&root.value[8]), 0x00020005u);
    EXPECT_EQ(ReadLe32(&root.value[12]), 0x00010007u);
    EXPECT_EQ(ReadLe32(&root.value[16]), 0x00020005u);
    EXPECT_EQ(ReadLe32(&root.value[20]), 0u);

    // Dialogs, strings and the manifest are as they were.
    for (const ResourceType& type : tree.types) {
        if (type.type.Is(kIconType) || type.type.Is(kIconGroupType) || type.type.Is(kVersionType)) continue;
        for (const ResourceEntry& e : type.entries) {
            const ResourceEntry* again = Entry(t, type.type.id, e.name.id);
            ASSERT_NE(again, nullptr);
            ASSERT_EQ(again->languages.size(), e.languages.size());
            for (size_t l = 0; l < e.languages.size(); l++)
                EXPECT_EQ(again->languages[l].data, e.languages[l].data) << type.type.id << "/" << e.name.id;
        }
    }
}

TEST_F(RealModule, EveryStringTableIsRewritten) {
    const ResourceEntry* version = Entry(tree, kVersionType, 1);
    ASSERT_NE(version, nullptr);
    VersionNode root;
    std::string error;
    ASSERT_TRUE(ParseVersionResource(version->languages[0].data, root, error)) << error;
    VersionNode* info = root.Child(u"StringFileInfo");
    info->children.push_back(info->children[0]);
    info->children.back().key = u"041103a4";
    info->children.back().children.pop_back();  // lacks the last name
    const std::string missing = pack::Utf16ToUtf8(info->children[0].children.back().key);
    ASSERT_TRUE(SetVersionStrings(root, {{"FileDescription", "Über"}, {missing, "x"}}, error)) << error;

    VersionNode again;
    ASSERT_TRUE(ParseVersionResource(BuildVersionResource(root), again, error)) << error;
    ASSERT_EQ(again.Child(u"StringFileInfo")->children.size(), 2u);
    for (VersionNode& table : again.Child(u"StringFileInfo")->children) {
        EXPECT_EQ(VersionText(*table.Child(u"FileDescription")), u"Über") << pack::Utf16ToUtf8(table.key);
        ASSERT_NE(table.Child(std::u16string(missing.begin(), missing.end())), nullptr);
    }
}

TEST_F(RealModule, DamagedResourceTreesAreRefusedOrReadSafely) {
    // Every byte of the directories and data entries, changed: the reader
    // either refuses or gives a tree that writes and reads again.
    const Bytes section(image.begin() + rsrc.rawOffset, image.end());
    size_t directories = 16 + 8 * tree.types.size();
    for (const ResourceType& type : tree.types) {
        directories += 16 + 8 * type.entries.size();
        for (const ResourceEntry& e : type.entries)
            directories += 16 + 8 * e.languages.size() + 16 * e.languages.size();
    }
    size_t refused = 0;
    for (size_t i = 0; i < directories; i++) {
        for (const uint8_t value : {uint8_t{0xFF}, uint8_t{0x80}, static_cast<uint8_t>(section[i] + 1)}) {
            Bytes damaged = section;
            damaged[i] = value;
            ResourceTree t;
            std::string error;
            if (!ParseResourceTree(damaged.data(), damaged.size(), rsrc.virtualAddress, t, error)) {
                EXPECT_FALSE(error.empty());
                refused++;
                continue;
            }
            const Bytes built = BuildResourceTree(t, rsrc.virtualAddress);
            ResourceTree again;
            ASSERT_TRUE(ParseResourceTree(built.data(), built.size(), rsrc.virtualAddress, again, error))
                << i;
        }
    }
    EXPECT_GT(refused, 0u);

    // The same for the version block's lengths and keys, and for every
    // shorter block.
    const Bytes version = Entry(tree, kVersionType, 1)->languages[0].data;
    for (size_t i = 0; i < version.size(); i++) {
        for (const uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}}) {
            Bytes damaged = version;
            damaged[i] = value;
            VersionNode root, again;
            std::string error;
            if (ParseVersionResource(damaged, root, error))
                ASSERT_TRUE(ParseVersionResource(BuildVersionResource(root), again, error)) << i;
        }
        VersionNode root;
        std::string error;
        EXPECT_FALSE(ParseVersionResource(Bytes(version.begin(), version.begin() + static_cast<long>(i)),
                                          root, error));
    }
}

TEST(Branding, SharedIconImagesStayAndNewIdsAvoidThem) {
    // Group 1 uses images 1 and 2, group 2 uses image 2; image 5 stands alone.
    auto group = [](std::vector<uint16_t> ids) {
        Bytes g(6 + 14 * ids.size(), 0);
        g[2] = 1;
        g[4] = static_cast<uint8_t>(ids.size());
        for (size_t i = 0; i < ids.size(); i++) WriteLe16(&g[6 + 14 * i + 12], ids[i]);
        return g;
    };
    ResourceTree tree;
    for (const uint16_t id : {1, 2, 5})
        tree.Add(kIconType).entries.push_back({ResourceId{id, {}}, {ResourceItem{0, 0, Bytes{uint8_t(id)}}}});
    tree.Add(kIconGroupType).entries.push_back({ResourceId{1, {}}, {ResourceItem{0x409, 0, group({1, 2})}}});
    tree.Add(kIconGroupType).entries.push_back({ResourceId{2, {}}, {ResourceItem{0, 0, group({2})}}});

    std::vector<IconImage> images(3);
    for (size_t i = 0; i < images.size(); i++) images[i].data = Bytes(4, uint8_t(0xA0 + i));
    std::string error;
    ASSERT_TRUE(ReplaceMainIcon(tree, images, error)) << error;
    EXPECT_EQ(IconGroupIds(tree.Find(kIconGroupType)->entries[0].languages[0].data),
              (std::vector<uint16_t>{1, 6, 7}));
    std::vector<uint16_t> present;
    for (const ResourceEntry& e : tree.Find(kIconType)->entries) {
        present.push_back(e.name.id);
        if (e.name.id == 2) EXPECT_EQ(e.languages[0].data, Bytes{2});
        if (e.name.id == 1) EXPECT_EQ(e.languages[0].language, 0x409);  // the group's language
    }
    std::sort(present.begin(), present.end());
    EXPECT_EQ(present, (std::vector<uint16_t>{1, 2, 5, 6, 7}));

    ResourceTree empty;
    EXPECT_FALSE(ReplaceMainIcon(empty, images, error));
    EXPECT_NE(error.find("no icon"), std::string::npos) << error;
}

TEST(Branding, IconFilesAreChecked) {
    std::vector<IconImage> images;
    std::string error;
    const Bytes good = IcoFile({BitmapImage(16, 1), PngImage()}, {16, 0});
    ASSERT_TRUE(ReadIconFile(good, images, error)) << error;
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].width, 16);
    EXPECT_EQ(images[0].bitCount, 32);
    EXPECT_EQ(images[1].data, PngImage());

    Bytes outside = good;
    WriteLe32(&outside[6 + 16 + 12], static_cast<uint32_t>(good.size() - 10));
    Bytes notImage = good;
    notImage[6 + 32] = 0x13;  // the bitmap header's size
    Bytes noImages = good;
    noImages[4] = 0;
    const std::pair<Bytes, const char*> bad[] = {
        {Bytes{'B', 'M', 0, 0, 0, 0}, "not an icon"},
        {Bytes(good.begin(), good.begin() + 20), "cut short"},
        {noImages, "no image"},
        {outside, "image 2 of the icon file lies outside"},
        {notImage, "neither a bitmap nor a PNG"},
    };
    for (const auto& [file, message] : bad) {
        EXPECT_FALSE(ReadIconFile(file, images, error)) << message;
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

TEST(Branding, ModuleWithoutResourcesLastIsRefused) {
    Bytes module = MakeModule();  // .rsrc last, but no resource directory
    Branding branding;
    branding.version = {{"ProductName", "x"}};
    std::string error;
    EXPECT_FALSE(ApplyBranding(module, branding, error));
    EXPECT_NE(error.find("not its last section"), std::string::npos) << error;
    EXPECT_EQ(module, MakeModule());
}

TEST(Branding, VersionNumbers) {
    uint32_t high = 0, low = 0;
    ASSERT_TRUE(ParseVersionNumber("1.2.3.4", high, low));
    EXPECT_EQ(high, 0x00010002u);
    EXPECT_EQ(low, 0x00030004u);
    ASSERT_TRUE(ParseVersionNumber("7 (beta)", high, low));
    EXPECT_EQ(high, 0x00070000u);
    EXPECT_EQ(low, 0u);
    ASSERT_TRUE(ParseVersionNumber("1.0.0003", high, low));
    EXPECT_EQ(low, 0x00030000u);
    for (const char* bad : {"", "beta", "v1.2", "1.2.3.4.5", "65536.1", "1."})
        EXPECT_FALSE(ParseVersionNumber(bad, high, low)) << bad;
    EXPECT_STREQ(CanonicalVersionName("productname"), "ProductName");
    EXPECT_EQ(CanonicalVersionName("Product"), nullptr);
}

}  // namespace
