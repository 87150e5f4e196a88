// Where a PE image ends in its file and where its certificate table lies,
// read from its headers without ever reading past them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "pe/image_end.h"
#include "test_images.h"

namespace {

using pe_test::GuardedBuffer;

struct Section {
    const char* name;
    uint32_t rawSize;
    uint32_t rawOffset;
};

// DOS header, PE file header, a PE32 optional header of 224 bytes and the
// section table.
std::vector<uint8_t> Headers(const std::vector<Section>& sections, uint32_t peOffset = 0x80,
                             uint16_t optionalSize = 224) {
    std::vector<uint8_t> b(peOffset + 24 + optionalSize + 40 * sections.size(), 0);
    b[0] = 'M';
    b[1] = 'Z';
    WriteLe32(&b[0x3C], peOffset);
    const size_t pe = peOffset;
    std::memcpy(&b[pe], "PE\0\0", 4);
    WriteLe16(&b[pe + 6], static_cast<uint32_t>(sections.size()));
    WriteLe16(&b[pe + 20], optionalSize);
    size_t at = pe + 24 + optionalSize;
    for (const Section& s : sections) {
        std::memcpy(&b[at], s.name, std::strlen(s.name));
        WriteLe32(&b[at + 16], s.rawSize);
        WriteLe32(&b[at + 20], s.rawOffset);
        at += 40;
    }
    return b;
}

uint32_t ImageEndOf(const std::vector<uint8_t>& headers) {
    GuardedBuffer guarded(headers);
    return FindImageEnd(guarded.data(), guarded.size());
}

const std::vector<Section> kThreeSections = {
    {".text", 0x6000, 0x400}, {".data", 0x1000, 0x6400}, {".rsrc", 0x2a00, 0x7400}};

TEST(FindImageEnd, EndOfTheLastSection) {
    EXPECT_EQ(ImageEndOf(Headers(kThreeSections)), 0x7400u + 0x2a00u);
    EXPECT_EQ(ImageEndOf(Headers({{".text", 0x200, 0x400}})), 0x600u);  // a single section
    // Names that do not begin with '.' do not move the walk past the table.
    EXPECT_EQ(ImageEndOf(Headers({{"CODE", 0x200, 0x400}, {"DATA", 0x400, 0x600}})), 0xA00u);
    // Sections without raw data and sections listed out of file order.
    EXPECT_EQ(ImageEndOf(Headers({{".text", 0x200, 0x400}, {".bss", 0, 0}})), 0x600u);
    EXPECT_EQ(ImageEndOf(Headers({{".rsrc", 0x200, 0x800}, {".text", 0x200, 0x400}})), 0xA00u);
}

TEST(FindImageEnd, TheWholePeOffsetCounts) {
    // A PE header beyond 64 KiB is found where all 32 bits of e_lfanew
    // point, not at their low 16 bits.
    std::vector<uint8_t> far = Headers(kThreeSections, 0x10080);
    const std::vector<uint8_t> decoy = Headers({{".text", 0x200, 0x400}});  // where the low bits point
    std::copy(decoy.begin() + 0x80, decoy.end(), far.begin() + 0x80);
    EXPECT_EQ(ImageEndOf(decoy), 0x600u);
    EXPECT_EQ(ImageEndOf(far), 0x9E00u);
    WriteLe16(&far[0x10080 + 6], 0);  // no sections there: nothing, whatever the decoy says
    EXPECT_EQ(ImageEndOf(far), 0u);
    std::vector<uint8_t> high = Headers(kThreeSections);
    WriteLe32(&high[0x3C], 0x80000080);
    EXPECT_EQ(ImageEndOf(high), 0u);
}

TEST(FindImageEnd, OptionalHeaderSizeLocatesTheTable) {
    EXPECT_EQ(ImageEndOf(Headers(kThreeSections, 0x80, 240)), 0x9E00u);
}

TEST(FindImageEnd, MalformedHeadersGiveZero) {
    std::vector<uint8_t> headers = Headers(kThreeSections);
    headers[0] = 'X';
    EXPECT_EQ(ImageEndOf(headers), 0u);

    headers = Headers(kThreeSections);
    headers[0x81] = 'X';  // "PX\0\0"
    EXPECT_EQ(ImageEndOf(headers), 0u);

    EXPECT_EQ(ImageEndOf(Headers({})), 0u);  // no sections

    headers = Headers(kThreeSections);
    WriteLe32(&headers[0x3C], 0xFFF0);  // the PE header lies beyond the buffer
    EXPECT_EQ(ImageEndOf(headers), 0u);

    headers = Headers({{".text", 0xFFFFFF00, 0x400}});  // end beyond 32 bits
    EXPECT_EQ(ImageEndOf(headers), 0u);

    EXPECT_EQ(FindImageEnd(nullptr, 4096), 0u);
}

TEST(FindImageEnd, NeverReadsPastTheBuffer) {
    // A section count far beyond the table, and every cut of the headers.
    std::vector<uint8_t> headers = Headers(kThreeSections);
    WriteLe16(&headers[0x86], 60);
    EXPECT_EQ(ImageEndOf(headers), 0u);
    WriteLe16(&headers[0x86], 0xFFFF);
    EXPECT_EQ(ImageEndOf(headers), 0u);
    WriteLe16(&headers[0x94], 0xFFFF);  // optional header size
    EXPECT_EQ(ImageEndOf(headers), 0u);

    const std::vector<uint8_t> whole = Headers(kThreeSections);
    for (size_t cut = 0; cut < whole.size(); cut++)
        EXPECT_EQ(ImageEndOf(std::vector<uint8_t>(whole.begin(), whole.begin() + cut)), 0u) << cut;
    EXPECT_EQ(ImageEndOf(whole), 0x9E00u);
}

}  // namespace

namespace {

// Headers of a PE32 (optional header 224 bytes) or PE32+ (240 bytes) image
// whose security directory holds offset and size.
std::vector<uint8_t> SignedHeaders(uint32_t offset, uint32_t size, bool plus = false) {
    std::vector<uint8_t> b = Headers(kThreeSections, 0x80, plus ? 240 : 224);
    const size_t optional = 0x80 + 24;
    const size_t directories = plus ? 112 : 96;
    WriteLe16(&b[optional], plus ? 0x20B : 0x10B);
    WriteLe32(&b[optional + directories - 4], 16);  // NumberOfRvaAndSizes
    WriteLe32(&b[optional + directories + 4 * 8], offset);
    WriteLe32(&b[optional + directories + 4 * 8 + 4], size);
    return b;
}

uint32_t TableOf(const std::vector<uint8_t>& headers) {
    GuardedBuffer guarded(headers);
    return FindCertificateTable(guarded.data(), guarded.size());
}

TEST(FindCertificateTable, TheSecurityDirectorysOffset) {
    EXPECT_EQ(TableOf(SignedHeaders(0x12340, 0x5A8)), 0x12340u);
    EXPECT_EQ(TableOf(SignedHeaders(0x12340, 0x5A8, true)), 0x12340u);
    EXPECT_EQ(TableOf(SignedHeaders(0, 0)), 0u);        // not signed
    EXPECT_EQ(TableOf(SignedHeaders(0x12340, 0)), 0u);  // an empty table is none
    EXPECT_EQ(TableOf(Headers(kThreeSections)), 0u);    // no optional-header magic
}

TEST(FindCertificateTable, MalformedHeadersGiveZero) {
    std::vector<uint8_t> few = SignedHeaders(0x12340, 0x5A8);
    WriteLe32(&few[0x80 + 24 + 92], 4);  // only four data directories: no security entry
    EXPECT_EQ(TableOf(few), 0u);
    std::vector<uint8_t> small = SignedHeaders(0x12340, 0x5A8);
    WriteLe16(&small[0x80 + 20], 96 + 32);  // the optional header ends before the entry
    EXPECT_EQ(TableOf(small), 0u);
    const std::vector<uint8_t> whole = SignedHeaders(0x12340, 0x5A8);
    for (size_t cut = 0; cut < 0x80 + 24 + 96 + 40; cut++)
        EXPECT_EQ(TableOf(std::vector<uint8_t>(whole.begin(), whole.begin() + cut)), 0u) << cut;
}

}  // namespace
