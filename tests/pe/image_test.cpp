// The headers of a PE32 image read in full: fields, directories and
// sections as built, refusals with their reasons.  (The walk they start
// with is image_end_test's, cut at every byte.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/byte_order.h"
#include "pe/checksum.h"
#include "pe/image.h"
#include "pe/image_end.h"
#include "test_images.h"

namespace {

using pe_test::Bytes;

constexpr size_t kOptional = 0x80 + 24;

Bytes ThreeSections() {
    const pe::ResourceTree tree = pe_test::MakeResourceTree();
    return pe_test::MakeImage({{".text", Bytes(0x345, 0xC3), 0x60000020}, {".data", Bytes(0x10, 1)}}, &tree);
}

TEST(ReadImage, FieldsDirectoriesAndSectionsAsBuilt) {
    const Bytes bytes = ThreeSections();
    pe::Image image;
    std::string error;
    ASSERT_TRUE(pe::ReadImage(bytes.data(), bytes.size(), image, error)) << error;
    EXPECT_EQ(image.span.optionalHeader, kOptional);
    EXPECT_EQ(image.sectionAlignment, 0x1000u);
    EXPECT_EQ(image.fileAlignment, 0x200u);
    EXPECT_EQ(image.sizeOfImage, 0x4000u);
    EXPECT_EQ(image.ChecksumOffset(), kOptional + 64);
    EXPECT_EQ(image.checksum, pe::FileChecksum(bytes.data(), bytes.size(), image.ChecksumOffset()));
    ASSERT_EQ(image.directories.size(), 16u);
    EXPECT_EQ(image.DirectoryAt(pe::kResourceDirectory).address, 0x3000u);
    EXPECT_EQ(image.DirectoryOffset(pe::kResourceDirectory), kOptional + 96 + 16);
    EXPECT_EQ(image.DirectoryAt(16).size, 0u);  // beyond the count: empty

    ASSERT_EQ(image.sections.size(), 3u);
    const char* names[] = {".text", ".data", ".rsrc"};
    uint32_t offset = 0x200;
    for (size_t i = 0; i < 3; i++) {
        const pe::Section& s = image.sections[i];
        EXPECT_EQ(s.name, names[i]);
        EXPECT_EQ(s.virtualAddress, 0x1000u * (i + 1));
        EXPECT_EQ(s.rawOffset, offset);
        EXPECT_EQ(s.header, kOptional + 224 + 40 * i);
        offset += s.rawSize;
    }
    EXPECT_EQ(image.sections[0].virtualSize, 0x345u);
    EXPECT_EQ(image.sections[0].rawSize, 0x400u);
    EXPECT_EQ(image.sections[0].characteristics, 0x60000020u);
    EXPECT_EQ(image.RawEnd(), bytes.size());
    EXPECT_EQ(FindImageEnd(bytes.data(), bytes.size()), bytes.size());
}

TEST(ReadImage, DirectoriesAreThoseWithinTheOptionalHeader) {
    Bytes bytes = ThreeSections();
    pe::Image image;
    std::string error;
    WriteLe32(&bytes[kOptional + 92], 0xFFFFFFFF);  // declared: far more than 224 bytes hold
    ASSERT_TRUE(pe::ReadImage(bytes.data(), bytes.size(), image, error)) << error;
    EXPECT_EQ(image.directories.size(), 16u);
    WriteLe32(&bytes[kOptional + 92], 2);  // the resource directory is the third
    ASSERT_TRUE(pe::ReadImage(bytes.data(), bytes.size(), image, error)) << error;
    EXPECT_EQ(image.directories.size(), 2u);
    EXPECT_EQ(image.DirectoryAt(pe::kResourceDirectory).size, 0u);
}

TEST(ReadImage, RefusalsSayWhy) {
    const Bytes good = ThreeSections();
    const auto refusal = [](const Bytes& bytes) {
        pe::Image image;
        std::string error;
        EXPECT_FALSE(pe::ReadImage(bytes.data(), bytes.size(), image, error));
        return error;
    };
    Bytes b = good;
    b[1] = 'X';
    EXPECT_EQ(refusal(b), "not a PE image (no MZ header)");
    EXPECT_EQ(refusal(Bytes(good.begin(), good.begin() + 63)), "not a PE image (no MZ header)");
    b = good;
    WriteLe32(&b[0x3C], static_cast<uint32_t>(good.size() - 23));
    EXPECT_EQ(refusal(b), "not a PE image (no PE header)");
    b = good;
    b[0x81] = 'X';
    EXPECT_EQ(refusal(b), "not a PE image (no PE header)");
    for (const uint32_t count : {0u, 97u}) {
        b = good;
        WriteLe16(&b[0x86], count);
        EXPECT_NE(refusal(b).find("without sections, or with more than 96"), std::string::npos) << count;
    }
    b = good;
    WriteLe16(&b[0x86], 90);  // a table that would run past the file
    EXPECT_EQ(refusal(b), "PE section table missing or cut short");
    b = good;
    WriteLe16(&b[kOptional], 0x20B);
    EXPECT_EQ(refusal(b), "not a 32-bit PE image");
    b = good;
    WriteLe16(&b[0x80 + 20], 94);  // too short for the PE32 fields
    EXPECT_EQ(refusal(b), "not a 32-bit PE image");
    b = good;
    WriteLe32(&b[kOptional + 36], 0x300);
    EXPECT_EQ(refusal(b), "PE alignments are not powers of two");
    b = good;
    WriteLe32(&b[kOptional + 32], 0);
    EXPECT_EQ(refusal(b), "PE alignments are not powers of two");
}

}  // namespace
