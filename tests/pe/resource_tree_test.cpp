// The resource tree: read and written back (the real module's byte for
// byte), the loader's order, names without any language, and malformed
// trees refused with a reason or read safely (fuzz_pe_resources reads any
// section from an exact-size copy).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "pe/image.h"
#include "pe/resource_editor.h"
#include "pe/resource_tree.h"
#include "test_images.h"

namespace {

using pe_test::Bytes;

constexpr uint32_t kRva = 0x5000;

pe::ResourceTree Parse(const Bytes& section, std::string& error, bool& ok) {
    pe::ResourceTree tree;
    ok = pe::ParseResourceTree(section.data(), section.size(), kRva, tree, error);
    return tree;
}

TEST(ResourceTree, WrittenAndReadBack) {
    const pe::ResourceTree tree = pe_test::MakeResourceTree();
    const Bytes built = pe::BuildResourceTree(tree, kRva);
    std::string error;
    bool ok = false;
    const pe::ResourceTree again = Parse(built, error, ok);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(pe::BuildResourceTree(again, kRva), built);
    // The loader's order: named types and names first, by name; then numbers.
    ASSERT_EQ(again.types.size(), 4u);
    EXPECT_EQ(again.types[0].type.id, pe::kIconType);
    EXPECT_EQ(again.types[3].type.id, 24);
    EXPECT_EQ(again.types[3].entries[0].name.name, u"APP");
    EXPECT_EQ(again.types[3].entries[0].languages[0].codePage, 1252u);

    pe::ResourceTree unsorted;
    for (const uint16_t id : {9, 2, 5})
        unsorted.Add(6).entries.push_back({{id, {}}, {{0, 0, Bytes{uint8_t(id)}}}});
    unsorted.Add(6).entries.push_back({{0, u"ZED"}, {{7, 0, Bytes{1}}, {3, 0, Bytes{2}}}});
    unsorted.Add(6).entries.push_back({{0, u"ABC"}, {{0, 0, Bytes{3}}}});
    unsorted.types.insert(unsorted.types.begin(), pe::ResourceType{{0, u"TYPE"}, {{{1, {}}, {{0, 0, {}}}}}});
    const pe::ResourceTree sorted = Parse(pe::BuildResourceTree(unsorted, kRva), error, ok);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(sorted.types[0].type.name, u"TYPE");
    std::vector<std::u16string> names;
    std::vector<uint16_t> ids;
    for (const pe::ResourceEntry& e : sorted.types[1].entries)
        e.name.IsNamed() ? names.push_back(e.name.name) : ids.push_back(e.name.id);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"ABC", u"ZED"}));
    EXPECT_EQ(ids, (std::vector<uint16_t>{2, 5, 9}));
    EXPECT_EQ(sorted.types[1].entries[1].languages[0].language, 3);
    EXPECT_TRUE(sorted.types[0].entries[0].languages[0].data.empty());
}

TEST(ResourceTree, EntriesStoredOutOfOrderAreReadInTheLoadersOrder) {
    // Found by fuzz_branding: with the icon groups stored as 103, 58 the
    // main icon replaced was 103, and the image written, sorted, showed 58's.
    pe::ResourceTree tree;
    for (const uint16_t id : {2, 5, 9}) tree.Add(6).entries.push_back({{id, {}}, {{0, 0, Bytes{uint8_t(id)}}}});
    Bytes section = pe::BuildResourceTree(tree, kRva);
    // The type's directory: its first and last entries swapped.
    const uint32_t typeDirectory = ReadLe32(&section[16 + 4]) & 0x7FFFFFFF;
    uint8_t* entries = &section[typeDirectory + 16];
    std::swap_ranges(entries, entries + 8, entries + 16);
    std::string error;
    bool ok = false;
    const pe::ResourceTree read = Parse(section, error, ok);
    ASSERT_TRUE(ok) << error;
    std::vector<uint16_t> ids;
    for (const pe::ResourceEntry& e : read.types[0].entries) ids.push_back(e.name.id);
    EXPECT_EQ(ids, (std::vector<uint16_t>{2, 5, 9}));
    EXPECT_EQ(read.types[0].entries[0].languages[0].data, Bytes{2});
}

TEST(ResourceTree, NamesWithoutAnyLanguage) {
    // An empty language directory is well-formed: it reads as a name without
    // items, and FirstItem passes over it.
    pe::ResourceTree tree = pe_test::MakeResourceTree();
    pe::ResourceType& groups = *tree.Find(pe::kIconGroupType);
    groups.entries.insert(groups.entries.begin(), pe::ResourceEntry{{0, u"EMPTY"}, {}});
    tree.Find(pe::kVersionType)->entries[0].languages.clear();
    std::string error;
    bool ok = false;
    const pe::ResourceTree again = Parse(pe::BuildResourceTree(tree, kRva), error, ok);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(pe::BuildResourceTree(again, kRva), pe::BuildResourceTree(tree, kRva));
    EXPECT_TRUE(again.Find(pe::kIconGroupType)->entries[0].languages.empty());
    ASSERT_NE(again.FirstItem(pe::kIconGroupType), nullptr);
    EXPECT_EQ(again.FirstItem(pe::kIconGroupType)->data, pe_test::MakeIconGroup({1}));
    EXPECT_EQ(again.FirstItem(pe::kVersionType), nullptr);
    EXPECT_EQ(again.FirstItem(99), nullptr);
}

TEST(ResourceTree, MalformedTreesAreRefusedWithAReason) {
    pe::ResourceTree one;
    one.Add(pe::kVersionType).entries.push_back({{1, {}}, {{0x409, 0, Bytes(8, 0xAB)}}});
    const Bytes good = pe::BuildResourceTree(one, kRva);
    // Layout: root (16 + 8), type directory (16 + 8), language directory
    // (16 + 8), data entry (16), data.
    constexpr size_t kRootEntry = 16, kTypeEntry = 40, kLanguageEntry = 64, kDataEntry = 72;
    ASSERT_EQ(ReadLe32(&good[kLanguageEntry + 4]), kDataEntry);
    const auto refused = [](const Bytes& section) {
        std::string error;
        bool ok = true;
        Parse(section, error, ok);
        EXPECT_FALSE(ok);
        return error;
    };
    Bytes b = good;
    WriteLe32(&b[kRootEntry + 4], 0x80000000u | static_cast<uint32_t>(good.size() - 8));
    EXPECT_EQ(refused(b), "resource section: directory outside the section");
    b = good;
    WriteLe16(&b[14], 200);
    EXPECT_EQ(refused(b), "resource section: directory entries outside the section");
    b = good;
    WriteLe32(&b[kRootEntry + 4], 24);
    EXPECT_EQ(refused(b), "resource section: a type without a directory");
    b = good;
    WriteLe32(&b[kTypeEntry], 0x80000000u | static_cast<uint32_t>(good.size() - 1));
    EXPECT_EQ(refused(b), "resource section: name outside the section");
    b = good;
    WriteLe32(&b[kLanguageEntry], 0x80000000u | (kDataEntry + 4));  // a name of the data's length, 8
    EXPECT_EQ(refused(b), "resource section: a named language");
    b = good;
    WriteLe32(&b[kLanguageEntry + 4], 0x80000000u);
    EXPECT_EQ(refused(b), "resource section: more than three levels");
    b = good;
    WriteLe32(&b[kDataEntry], kRva - 1);
    EXPECT_EQ(refused(b), "resource section: data outside the section");
    b = good;
    WriteLe32(&b[kDataEntry + 4], static_cast<uint32_t>(good.size()));
    EXPECT_EQ(refused(b), "resource section: data outside the section");
    b = good;
    WriteLe32(&b[kRootEntry], 0x10000);
    EXPECT_EQ(refused(b), "resource section: numeric id above 65535");
    // A name directory that is its type's: a fourth level.
    b = good;
    WriteLe32(&b[kTypeEntry + 4], 0x80000000u | 24);
    EXPECT_EQ(refused(b), "resource section: more than three levels");
    b = good;
    WriteLe32(&b[kTypeEntry + 4], kDataEntry);
    EXPECT_EQ(refused(b), "resource section: a name without a directory");
}

// A directory at `at` with `count` numbered entries, all pointing at
// `target` (a directory when `subdirectory`).
void PutDirectory(Bytes& b, size_t at, size_t count, uint32_t target, bool subdirectory) {
    WriteLe16(&b[at + 14], static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; i++) {
        WriteLe32(&b[at + 16 + 8 * i], static_cast<uint32_t>(i + 1));
        WriteLe32(&b[at + 16 + 8 * i + 4], target | (subdirectory ? 0x80000000u : 0));
    }
}

TEST(ResourceTree, SharedDirectoriesAndDataAreBounded) {
    // Root, type and language directories of 100 entries each, every entry
    // pointing at the next directory: a million items from 2.5 KB.
    constexpr size_t kDirectory = 16 + 8 * 100;
    Bytes b(3 * kDirectory + 16 + 4, 0);
    PutDirectory(b, 0, 100, kDirectory, true);
    PutDirectory(b, kDirectory, 100, 2 * kDirectory, true);
    PutDirectory(b, 2 * kDirectory, 100, 3 * kDirectory, false);
    WriteLe32(&b[3 * kDirectory], kRva + 3 * kDirectory + 16);
    WriteLe32(&b[3 * kDirectory + 4], 4);
    std::string error;
    bool ok = true;
    Parse(b, error, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "resource section: directories that share their entries");

    // One name whose 100 languages share a data entry of most of the section.
    Bytes d(3 * 16 + 2 * 8 + 8 * 100 + 16 + 2000, 0);
    const size_t language = 2 * 24, entry = language + kDirectory;
    PutDirectory(d, 0, 1, 24, true);
    PutDirectory(d, 24, 1, static_cast<uint32_t>(language), true);
    PutDirectory(d, language, 100, static_cast<uint32_t>(entry), false);
    WriteLe32(&d[entry], static_cast<uint32_t>(kRva + entry + 16));
    WriteLe32(&d[entry + 4], 2000);
    Parse(d, error, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "resource section: resources that share their data");
    // Shared a little, they read as what they are.
    WriteLe16(&d[language + 14], 1);
    const pe::ResourceTree tree = Parse(d, error, ok);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(tree.FirstItem(1)->data.size(), 2000u);
}

TEST(ResourceTree, TheModulesTreeIsWrittenBackByteForByte) {
    const Bytes module = pe_test::RealModule();
    if (module.empty()) GTEST_SKIP() << "SFX_MODULE names no built module";
    pe::Image image;
    pe::ResourceTree tree;
    std::string error;
    ASSERT_TRUE(pe::ReadImage(module.data(), module.size(), image, error)) << error;
    ASSERT_TRUE(pe::ReadResources(module.data(), module.size(), image, tree, error)) << error;
    const pe::Section& rsrc = image.sections.back();
    const Bytes built = pe::BuildResourceTree(tree, rsrc.virtualAddress);
    ASSERT_LE(built.size(), rsrc.rawSize);
    EXPECT_TRUE(std::equal(built.begin(), built.end(), module.begin() + rsrc.rawOffset));
    for (size_t i = rsrc.rawOffset + built.size(); i < module.size(); i++) ASSERT_EQ(module[i], 0) << i;
}

}  // namespace
