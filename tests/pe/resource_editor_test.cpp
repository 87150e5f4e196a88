// The resource editor: a new tree written in place of the last section
// with every size and the checksum following it, images it cannot edit
// refused and left unchanged, and resources read for display wherever the
// directory points.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "pe/checksum.h"
#include "pe/image.h"
#include "pe/image_end.h"
#include "pe/resource_editor.h"
#include "test_images.h"

namespace {

using pe_test::Bytes;

constexpr size_t kOptional = 0x80 + 24;

Bytes Module() {
    const pe::ResourceTree tree = pe_test::MakeResourceTree();
    return pe_test::MakeImage({{".text", Bytes(0x300, 0xC3), 0x60000020}, {".data", Bytes(0x10, 1)}}, &tree);
}

pe::Image Read(const Bytes& bytes) {
    pe::Image image;
    std::string error;
    EXPECT_TRUE(pe::ReadImage(bytes.data(), bytes.size(), image, error)) << error;
    return image;
}

TEST(ResourceEditor, ANewTreeAndEverySizeThatFollowsIt) {
    const Bytes before = Module();
    const pe::Image old = Read(before);
    pe::ResourceTree tree;
    std::string error;
    ASSERT_TRUE(pe::ReadEditableResources(before, tree, error)) << error;
    tree.Add(10).entries.push_back({{7, {}}, {{0, 0, Bytes(0x1234, 0x77)}}});  // grows by two pages

    Bytes after = before;
    ASSERT_TRUE(pe::WriteResources(after, tree, error)) << error;
    const pe::Image image = Read(after);
    const pe::Section &s = image.sections[2], &o = old.sections[2];
    const Bytes built = pe::BuildResourceTree(tree, s.virtualAddress);
    EXPECT_EQ(s.virtualAddress, o.virtualAddress);
    EXPECT_EQ(s.rawOffset, o.rawOffset);
    EXPECT_EQ(s.virtualSize, built.size());
    EXPECT_EQ(s.rawSize, (built.size() + 0x1FF) & ~size_t{0x1FF});
    EXPECT_EQ(after.size(), s.RawEnd());
    EXPECT_EQ(FindImageEnd(after.data(), after.size()), after.size());
    EXPECT_TRUE(std::equal(built.begin(), built.end(), after.begin() + s.rawOffset));
    EXPECT_EQ(image.DirectoryAt(pe::kResourceDirectory).size, built.size());
    EXPECT_EQ(image.sizeOfImage, (s.virtualAddress + s.virtualSize + 0xFFF) & ~0xFFFu);
    EXPECT_EQ(ReadLe32(&after[kOptional + 8]) - ReadLe32(&before[kOptional + 8]), s.rawSize - o.rawSize);
    EXPECT_EQ(image.checksum, pe::FileChecksum(after.data(), after.size(), image.ChecksumOffset()));
    // The sections before it keep their bytes.
    EXPECT_TRUE(std::equal(before.begin() + 0x200, before.begin() + o.rawOffset, after.begin() + 0x200));

    pe::ResourceTree again;
    ASSERT_TRUE(pe::ReadEditableResources(after, again, error)) << error;
    ASSERT_NE(again.Find(10), nullptr);
    EXPECT_EQ(again.Find(10)->entries[0].languages[0].data, Bytes(0x1234, 0x77));

    // A smaller tree shrinks the section again; an uninitialised-data
    // section leaves SizeOfInitializedData alone.
    Bytes smaller = after;
    ASSERT_TRUE(pe::WriteResources(smaller, pe_test::MakeResourceTree(), error)) << error;
    EXPECT_EQ(smaller, before);
    WriteLe32(&after[image.sections[2].header + 36], 0x40000000);
    const uint32_t initialized = ReadLe32(&after[kOptional + 8]);
    ASSERT_TRUE(pe::WriteResources(after, pe_test::MakeResourceTree(), error)) << error;
    EXPECT_EQ(ReadLe32(&after[kOptional + 8]), initialized);
}

TEST(ResourceEditor, ImagesItCannotEditAreLeftAlone) {
    const Bytes good = Module();
    const pe::Image image = Read(good);
    const size_t security = image.DirectoryOffset(pe::kSecurityDirectory);
    const size_t rsrc = image.sections[2].header;
    std::vector<std::pair<Bytes, const char*>> cases;
    Bytes b = good;
    WriteLe32(&b[security], static_cast<uint32_t>(good.size()));
    WriteLe32(&b[security + 4], 8);
    cases.push_back({b, "the image is signed"});
    b = good;
    WriteLe32(&b[kOptional + 36], 0x20000);
    cases.push_back({b, "file alignment is above 64 KiB"});
    b = good;
    b.push_back(0);  // data behind the section
    cases.push_back({b, "not the image's last section"});
    b = good;
    WriteLe32(&b[rsrc + 12], 0x1000);  // not last in memory
    cases.push_back({b, "not the image's last section"});
    b = good;
    WriteLe32(&b[image.sections[1].header + 16], 0x40000200);  // .data's raw data past the resources' start
    cases.push_back({b, "not the image's last section"});
    b = good;
    WriteLe32(&b[image.DirectoryOffset(pe::kResourceDirectory) + 4], 0);  // no resources
    cases.push_back({b, "not the image's last section"});
    b = good;
    // Raw data from inside the section table, the others' moved before it.
    for (const pe::Section& s : image.sections) {
        WriteLe32(&b[s.header + 16], 0);
        WriteLe32(&b[s.header + 20], 0);
    }
    WriteLe32(&b[rsrc + 16], static_cast<uint32_t>(good.size() - 0x100));
    WriteLe32(&b[rsrc + 20], 0x100);
    cases.push_back({b, "overlaps the image's headers"});
    b = good;
    WriteLe16(&b[kOptional], 0x20B);
    cases.push_back({b, "not a 32-bit PE image"});
    for (auto& [bytes, message] : cases) {
        const Bytes unchanged = bytes;
        pe::ResourceTree tree;
        std::string error;
        EXPECT_FALSE(pe::ReadEditableResources(bytes, tree, error)) << message;
        EXPECT_NE(error.find(message), std::string::npos) << error;
        error.clear();
        EXPECT_FALSE(pe::WriteResources(bytes, pe_test::MakeResourceTree(), error)) << message;
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_EQ(bytes, unchanged) << message;
    }
}

TEST(ResourceEditor, ResourcesReadWhereverTheDirectoryPoints) {
    // Not the last section: read for display all the same.
    const pe::ResourceTree tree = pe_test::MakeResourceTree();
    Bytes b = pe_test::MakeImage({{".text", Bytes(0x300, 0xC3)}}, &tree);
    b.resize(b.size() + 0x200, 0);
    pe::Image image = Read(b);
    pe::ResourceTree read;
    std::string error;
    ASSERT_TRUE(pe::ReadResources(b.data(), b.size(), image, read, error)) << error;
    EXPECT_EQ(pe::BuildResourceTree(read, 0x2000), pe::BuildResourceTree(tree, 0x2000));

    // Only the image's first bytes at hand, or no section at the address.
    EXPECT_FALSE(pe::ReadResources(b.data(), image.sections[1].rawOffset + 16, image, read, error));
    EXPECT_EQ(error, "the resource section lies beyond the end of the image");
    WriteLe32(&b[image.DirectoryOffset(pe::kResourceDirectory)], 0x2100);
    image = Read(b);
    EXPECT_FALSE(pe::ReadResources(b.data(), b.size(), image, read, error));
    EXPECT_EQ(error, "no section starts at the resource directory");
    WriteLe32(&b[image.DirectoryOffset(pe::kResourceDirectory) + 4], 0);
    image = Read(b);
    EXPECT_FALSE(pe::ReadResources(b.data(), b.size(), image, read, error));
    EXPECT_EQ(error, "the image has no resources");
}

TEST(ResourceEditor, TheModulesOwnTreeWrittenBack) {
    const Bytes module = pe_test::RealModule();
    if (module.empty()) GTEST_SKIP() << "SFX_MODULE names no built module";
    pe::ResourceTree tree;
    std::string error;
    ASSERT_TRUE(pe::ReadEditableResources(module, tree, error)) << error;
    Bytes again = module;
    ASSERT_TRUE(pe::WriteResources(again, tree, error)) << error;
    // The linker gives the section and the directory its raw size; the
    // editor, the tree's own.  Everything else comes out the same.
    const pe::Image before = Read(module), after = Read(again);
    const pe::Section& rsrc = after.sections.back();
    const size_t treeSize = pe::BuildResourceTree(tree, rsrc.virtualAddress).size();
    EXPECT_EQ(rsrc.virtualSize, treeSize);
    EXPECT_EQ(after.DirectoryAt(pe::kResourceDirectory).size, treeSize);
    EXPECT_EQ(after.checksum, pe::FileChecksum(again.data(), again.size(), after.ChecksumOffset()));
    ASSERT_EQ(again.size(), module.size());
    for (const size_t field :
         {rsrc.header + 8, after.DirectoryOffset(pe::kResourceDirectory) + 4, after.ChecksumOffset()})
        for (size_t i = field; i < field + 4; i++) again[i] = module[i];
    EXPECT_EQ(again, module);
    EXPECT_EQ(after.sizeOfImage, before.sizeOfImage);
}

}  // namespace
