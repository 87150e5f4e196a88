// Branding over the real module (SFX_MODULE, the built sfx.exe): a
// branded image checked field by field, every string table rewritten, the
// version numbers, and modules that cannot be branded refused with their
// bytes unchanged.  Cases that need the module skip without it.  The PE
// library's own tests (tests/pe) cover the readers and the editor.
#include "branding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/byte_order.h"
#include "pe/checksum.h"
#include "pe/icon_group.h"
#include "pe/image.h"
#include "pe/resource_editor.h"
#include "pe/version_block.h"
#include "test_files.h"
#include "utf16.h"
#include "version_strings.h"

namespace {

using namespace mksfx;

class RealModule : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("SFX_MODULE");
        if (path == nullptr || (image = ReadBytes(path)).empty())
            GTEST_SKIP() << "SFX_MODULE names no built module";
        std::string error;
        ASSERT_TRUE(pe::ReadImage(image.data(), image.size(), headers, error)) << error;
        ASSERT_FALSE(headers.sections.empty());
        rsrc = headers.sections.back();
        ASSERT_EQ(rsrc.name, ".rsrc");
        ASSERT_TRUE(pe::ReadEditableResources(image, tree, error)) << error;
    }

    static const pe::ResourceEntry* Entry(const pe::ResourceTree& t, uint16_t type, uint16_t name) {
        if (const pe::ResourceType* rt = t.Find(type))
            for (const pe::ResourceEntry& e : rt->entries)
                if (e.name.Is(name)) return &e;
        return nullptr;
    }

    static std::vector<uint16_t> GroupIds(const pe::ResourceEntry* group) {
        std::vector<uint16_t> ids;
        for (const pe::IconGroupEntry& e : pe::ReadIconGroup(group->languages[0].data)) ids.push_back(e.id);
        return ids;
    }

    Bytes image;
    pe::Image headers;
    pe::Section rsrc;
    pe::ResourceTree tree;
};

TEST_F(RealModule, BrandedImageKeepsItsLayoutAndEverythingElse) {
    Branding branding;
    std::string error;
    const Bytes ico = IcoFile({BitmapImage(16, 0x11), BitmapImage(32, 0x22), PngImage()}, {16, 32, 256});
    ASSERT_TRUE(pe::ReadIconFile(ico.data(), ico.size(), branding.icon, error)) << error;
    branding.version = {{"ProductName", "Sample Product ™"},
                        {"FileVersion", "2.5.1.7"},
                        {"ProductVersion", "2.5 beta"},
                        {"CompanyName", "Example Co."}};
    Bytes branded = image;
    ASSERT_TRUE(ApplyBranding(branded, branding, error)) << error;

    pe::Image after;
    ASSERT_TRUE(pe::ReadImage(branded.data(), branded.size(), after, error)) << error;
    ASSERT_EQ(after.sections.size(), headers.sections.size());
    const pe::Section& s = after.sections.back();
    EXPECT_EQ(s.name, ".rsrc");
    EXPECT_EQ(s.rawOffset, rsrc.rawOffset);
    EXPECT_EQ(s.virtualAddress, rsrc.virtualAddress);
    EXPECT_EQ(s.RawEnd(), branded.size());
    EXPECT_EQ(s.rawSize % headers.fileAlignment, 0u);
    EXPECT_GT(s.rawSize, rsrc.rawSize);  // the new images take room
    const pe::Directory directory = after.DirectoryAt(pe::kResourceDirectory);
    EXPECT_EQ(directory.address, s.virtualAddress);
    EXPECT_EQ(directory.size, s.virtualSize);
    EXPECT_EQ(after.sizeOfImage, (s.virtualAddress + s.virtualSize + headers.sectionAlignment - 1) &
                                     ~(headers.sectionAlignment - 1));
    const size_t initialized = headers.span.optionalHeader + 8;
    EXPECT_EQ(ReadLe32(&branded[initialized]) - ReadLe32(&image[initialized]), s.rawSize - rsrc.rawSize);
    EXPECT_EQ(after.checksum, pe::FileChecksum(branded.data(), branded.size(), after.ChecksumOffset()));
    // Headers aside, the bytes before the resources are the module's.
    EXPECT_TRUE(std::equal(image.begin() + 1024, image.begin() + rsrc.rawOffset, branded.begin() + 1024));

    pe::ResourceTree t;
    ASSERT_TRUE(pe::ReadEditableResources(branded, t, error)) << error;
    // The main group lists the three new images, the replace icon's group
    // still finds its own image.
    const pe::ResourceEntry* main = Entry(t, pe::kIconGroupType, 103);
    const pe::ResourceEntry* other = Entry(t, pe::kIconGroupType, 104);
    ASSERT_TRUE(main && other);
    const std::vector<uint16_t> ids = GroupIds(main);
    ASSERT_EQ(ids.size(), 3u);
    const std::vector<uint16_t> otherIds = GroupIds(other);
    EXPECT_EQ(otherIds, GroupIds(Entry(tree, pe::kIconGroupType, 104)));
    for (size_t i = 0; i < 3; i++) {
        const pe::ResourceEntry* icon = Entry(t, pe::kIconType, ids[i]);
        ASSERT_NE(icon, nullptr) << ids[i];
        EXPECT_EQ(icon->languages[0].data, branding.icon[i].data);
        EXPECT_NE(ids[i], otherIds[0]);
    }
    const std::vector<pe::IconGroupEntry> group = pe::ReadIconGroup(main->languages[0].data);
    EXPECT_EQ(group[2].width, 0);      // 256 is stored as 0
    EXPECT_EQ(group[2].bitCount, 32);  // filled in for the PNG

    // Version strings in every table, numbers in the fixed info.
    pe::VersionNode root;
    ASSERT_TRUE(pe::ParseVersionBlock(Entry(t, pe::kVersionType, 1)->languages[0].data, root, error))
        << error;
    for (pe::VersionNode& table : *pe::StringTables(root)) {
        EXPECT_EQ(pack::Utf16ToUtf8(pe::VersionText(*table.Child(u"ProductName"))), "Sample Product ™");
        EXPECT_EQ(pack::Utf16ToUtf8(pe::VersionText(*table.Child(u"FileVersion"))), "2.5.1.7");
        EXPECT_EQ(pack::Utf16ToUtf8(pe::VersionText(*table.Child(u"InternalName"))), "sfx");  // untouched
    }
    EXPECT_EQ(ReadLe32(&root.value[8]), 0x00020005u);
    EXPECT_EQ(ReadLe32(&root.value[12]), 0x00010007u);
    EXPECT_EQ(ReadLe32(&root.value[16]), 0x00020005u);
    EXPECT_EQ(ReadLe32(&root.value[20]), 0u);

    // Dialogs, strings and the manifest are as they were.
    for (const pe::ResourceType& type : tree.types) {
        if (type.type.Is(pe::kIconType) || type.type.Is(pe::kIconGroupType) || type.type.Is(pe::kVersionType))
            continue;
        for (const pe::ResourceEntry& e : type.entries) {
            const pe::ResourceEntry* again = Entry(t, type.type.id, e.name.id);
            ASSERT_NE(again, nullptr);
            ASSERT_EQ(again->languages.size(), e.languages.size());
            for (size_t l = 0; l < e.languages.size(); l++)
                EXPECT_EQ(again->languages[l].data, e.languages[l].data) << type.type.id << "/" << e.name.id;
        }
    }
}

TEST_F(RealModule, EveryStringTableIsRewritten) {
    const pe::ResourceEntry* version = Entry(tree, pe::kVersionType, 1);
    ASSERT_NE(version, nullptr);
    pe::VersionNode root;
    std::string error;
    ASSERT_TRUE(pe::ParseVersionBlock(version->languages[0].data, root, error)) << error;
    std::vector<pe::VersionNode>& tables = *pe::StringTables(root);
    tables.push_back(tables[0]);
    tables.back().key = u"041103a4";
    tables.back().children.pop_back();  // lacks the last name
    const std::string missing = pack::Utf16ToUtf8(tables[0].children.back().key);
    ASSERT_TRUE(SetVersionStrings(root, {{"FileDescription", "Über"}, {missing, "x"}}, error)) << error;

    pe::VersionNode again;
    ASSERT_TRUE(pe::ParseVersionBlock(pe::BuildVersionBlock(root), again, error)) << error;
    ASSERT_EQ(pe::StringTables(again)->size(), 2u);
    for (pe::VersionNode& table : *pe::StringTables(again)) {
        EXPECT_EQ(pe::VersionText(*table.Child(u"FileDescription")), u"Über") << pack::Utf16ToUtf8(table.key);
        ASSERT_NE(table.Child(std::u16string(missing.begin(), missing.end())), nullptr);
    }

    // A block without string tables or fixed file info is refused.
    pe::VersionNode bare = root;
    bare.value.clear();
    EXPECT_FALSE(SetVersionStrings(bare, {{"ProductName", "x"}}, error));
    EXPECT_NE(error.find("no fixed file info"), std::string::npos) << error;
    bare = root;
    bare.children.clear();
    EXPECT_FALSE(SetVersionStrings(bare, {{"ProductName", "x"}}, error));
    EXPECT_NE(error.find("no string table"), std::string::npos) << error;
    EXPECT_FALSE(SetVersionStrings(root, {{"ProductName", "\xC3"}}, error));
    EXPECT_NE(error.find("not valid UTF-8"), std::string::npos) << error;
}

TEST_F(RealModule, WhatCannotBeBrandedLeavesTheImageAlone) {
    // A version entry without any language, an icon group without any: the
    // module has no version block or icon to change.
    std::string error;
    for (const uint16_t type : {pe::kVersionType, pe::kIconGroupType}) {
        pe::ResourceTree t = tree;
        for (pe::ResourceEntry& e : t.Find(type)->entries) e.languages.clear();
        Bytes module = image;
        ASSERT_TRUE(pe::WriteResources(module, t, error)) << error;
        const Bytes before = module;
        Branding branding;
        if (type == pe::kVersionType)
            branding.version = {{"ProductName", "x"}};
        else
            branding.icon.resize(1);
        EXPECT_FALSE(ApplyBranding(module, branding, error));
        EXPECT_NE(error.find(type == pe::kVersionType ? "no version block" : "no icon"), std::string::npos)
            << error;
        EXPECT_EQ(module, before);
    }
}

TEST(Branding, ModuleWithoutResourcesLastIsRefused) {
    Bytes module = MakeModule();  // .rsrc last, but no resource directory
    Branding branding;
    branding.version = {{"ProductName", "x"}};
    std::string error;
    EXPECT_FALSE(ApplyBranding(module, branding, error));
    EXPECT_NE(error.find("not the image's last section"), std::string::npos) << error;
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
