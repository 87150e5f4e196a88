// The version block: read and written back (the real module's byte for
// byte), strings set in every table, the fixed file info, short and deep
// blocks refused.  fuzz_pe_resources reads damaged ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/byte_order.h"
#include "pe/image.h"
#include "pe/resource_editor.h"
#include "pe/version_block.h"
#include "test_images.h"

namespace {

using pe_test::Bytes;

Bytes TwoTables() {
    return pe_test::MakeVersionBlock({u"040904b0", u"041103a4"},
                                     {{u"CompanyName", u"Example"}, {u"ProductName", u"Test"}});
}

Bytes ModuleBlock() {
    const Bytes module = pe_test::RealModule();
    pe::Image image;
    pe::ResourceTree tree;
    std::string error;
    if (module.empty() || !pe::ReadImage(module.data(), module.size(), image, error) ||
        !pe::ReadResources(module.data(), module.size(), image, tree, error) ||
        tree.FirstItem(pe::kVersionType) == nullptr)
        return {};
    return tree.FirstItem(pe::kVersionType)->data;
}

TEST(VersionBlock, WrittenAndReadBack) {
    const Bytes block = TwoTables();
    pe::VersionNode root;
    std::string error;
    ASSERT_TRUE(pe::ParseVersionBlock(block, root, error)) << error;
    EXPECT_EQ(pe::BuildVersionBlock(root), block);
    EXPECT_EQ(ReadLe16(block.data()), block.size());
    ASSERT_NE(pe::StringTables(root), nullptr);
    ASSERT_EQ(pe::StringTables(root)->size(), 2u);
    const pe::VersionNode& table = (*pe::StringTables(root))[1];
    EXPECT_EQ(table.key, u"041103a4");
    ASSERT_NE(table.Child(u"ProductName"), nullptr);
    EXPECT_EQ(pe::VersionText(*table.Child(u"ProductName")), u"Test");
    ASSERT_NE(pe::FixedFileInfo(root), nullptr);
    EXPECT_EQ(ReadLe32(pe::FixedFileInfo(root) + 4), 0x00010000u);
    EXPECT_NE(root.Child(u"VarFileInfo"), nullptr);

    const Bytes module = ModuleBlock();
    if (module.empty()) GTEST_SKIP() << "SFX_MODULE names no built module";
    ASSERT_TRUE(pe::ParseVersionBlock(module, root, error)) << error;
    EXPECT_EQ(pe::BuildVersionBlock(root), module);
    EXPECT_NE(pe::StringTables(root), nullptr);
    EXPECT_NE(pe::FixedFileInfo(root), nullptr);
}

TEST(VersionBlock, StringsAreSetInEveryTable) {
    pe::VersionNode root;
    std::string error;
    ASSERT_TRUE(pe::ParseVersionBlock(TwoTables(), root, error)) << error;
    (*pe::StringTables(root))[1].children.pop_back();  // the second lacks ProductName
    ASSERT_TRUE(pe::SetVersionString(root, u"ProductName", u"Neu ✓"));
    ASSERT_TRUE(pe::SetVersionString(root, u"Comments", u""));
    pe::VersionNode again;
    ASSERT_TRUE(pe::ParseVersionBlock(pe::BuildVersionBlock(root), again, error)) << error;
    for (const pe::VersionNode& table : *pe::StringTables(again)) {
        ASSERT_NE(table.Child(u"ProductName"), nullptr);
        EXPECT_EQ(pe::VersionText(*table.Child(u"ProductName")), u"Neu ✓");
        EXPECT_EQ(table.Child(u"ProductName")->valueLength, 6);  // characters with the terminator
        EXPECT_EQ(table.Child(u"ProductName")->type, 1);
        ASSERT_NE(table.Child(u"Comments"), nullptr);
        EXPECT_EQ(pe::VersionText(*table.Child(u"Comments")), u"");
    }
    EXPECT_EQ(pe::VersionText(*(*pe::StringTables(again))[0].Child(u"CompanyName")), u"Example");

    // No string table, no fixed file info.
    pe::VersionNode bare = root;
    bare.children.clear();
    EXPECT_EQ(pe::StringTables(bare), nullptr);
    EXPECT_FALSE(pe::SetVersionString(bare, u"ProductName", u"x"));
    bare.value.resize(51);
    EXPECT_EQ(pe::FixedFileInfo(bare), nullptr);
    bare = root;
    bare.value[0] ^= 1;  // the signature
    EXPECT_EQ(pe::FixedFileInfo(bare), nullptr);
}

TEST(VersionBlock, AShortValueKeepsItsRoomBeforeNewStrings) {
    // A string table that states a 10-byte value but ends after 4 of them:
    // read as far as it goes.  A string added behind it must be found where
    // a reader looks, after the stated room.
    pe::VersionNode root;
    std::string error;
    ASSERT_TRUE(pe::ParseVersionBlock(TwoTables(), root, error)) << error;
    pe::VersionNode& table = (*pe::StringTables(root))[0];
    table.type = 0;
    table.valueLength = 10;
    table.value = {1, 2, 3, 4};
    table.children.clear();
    pe::VersionNode cut;
    ASSERT_TRUE(pe::ParseVersionBlock(pe::BuildVersionBlock(root), cut, error)) << error;
    ASSERT_EQ((*pe::StringTables(cut))[0].value.size(), 4u);
    ASSERT_TRUE(pe::SetVersionString(cut, u"ProductName", u"Found"));
    pe::VersionNode again;
    ASSERT_TRUE(pe::ParseVersionBlock(pe::BuildVersionBlock(cut), again, error)) << error;
    const pe::VersionNode& first = (*pe::StringTables(again))[0];
    ASSERT_NE(first.Child(u"ProductName"), nullptr);
    EXPECT_EQ(pe::VersionText(*first.Child(u"ProductName")), u"Found");
    EXPECT_EQ(first.value, (Bytes{1, 2, 3, 4, 0, 0, 0, 0, 0, 0}));
}

TEST(VersionBlock, ShortBlocksAreRefused) {
    const Bytes block = TwoTables();
    pe::VersionNode root;
    std::string error;
    for (size_t cut = 0; cut < block.size(); cut++) {
        EXPECT_FALSE(
            pe::ParseVersionBlock(Bytes(block.begin(), block.begin() + static_cast<long>(cut)), root, error))
            << cut;
        EXPECT_EQ(error, "the version block is malformed");
    }
}

TEST(VersionBlock, NestingIsBounded) {
    // Nine levels below the root: real blocks have four.
    pe::VersionNode root{u"VS_VERSION_INFO", 0, 0, {}, {}};
    pe::VersionNode* node = &root;
    for (int depth = 0; depth < 9; depth++) {
        node->children.push_back(pe::VersionNode{u"x", 0, 1, {}, {}});
        node = &node->children.back();
    }
    pe::VersionNode read;
    std::string error;
    EXPECT_FALSE(pe::ParseVersionBlock(pe::BuildVersionBlock(root), read, error));
    root.children[0].children[0].children.clear();
    EXPECT_TRUE(pe::ParseVersionBlock(pe::BuildVersionBlock(root), read, error)) << error;
}

}  // namespace
