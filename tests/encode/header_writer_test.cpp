// Entry headers as written and as the project's reader reads them back:
// fields, times, attributes, the level-2 header CRC and padding, limits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "encode/header_writer.h"
#include "encode_support.h"

namespace {

lzh::HeaderFields Fields(int level, const char* name, bool folder = false) {
    lzh::HeaderFields f{};
    f.level = level;
    f.method = folder ? "-lhd-" : "-lh5-";
    f.packedSize = 1234;
    f.unpackedSize = 5678;
    f.crc16 = 0xBEEF;
    f.modified = 1700000000;  // 2023-11-14 22:13:20 UTC
    f.attributes = 0x21;
    f.name = name;
    f.folder = folder;
    return f;
}

// Reads one header from the bytes.
struct ReadHeader {
    explicit ReadHeader(const uint8_t* bytes, size_t size)
        : file(Bytes(bytes, bytes + size)), reader(file.get(), reporter, lzh::IsShiftJisLeadByte) {
        reader.wideNames = &names;
        ok = reader.ReadEntryHeader(work) == 1;
        end = std::ftell(file.get());
    }
    MemoryFile file;
    RecordingReporter reporter;
    lzh::HeaderReader reader;
    lzh::WideNames names;
    uint8_t work[lzh::kHeaderWorkSize];
    bool ok;
    long end;
};

class HeaderWriter : public testing::Test {
protected:
    // Levels 0 and 1 hold local time; the tests run in UTC.
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz != nullptr ? tz : "";
        hadTz_ = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_)
            setenv("TZ", savedTz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string savedTz_;
    bool hadTz_ = false;
};

}  // namespace

TEST_F(HeaderWriter, EveryLevelReadsBackWithItsFields) {
    constexpr uint32_t kDosTime = (43u << 9 | 11 << 5 | 14) << 16 | (22 << 11 | 13 << 5 | 10);
    for (int level = 0; level <= 2; level++) {
        SCOPED_TRACE(level);
        uint8_t h[lzh::kMaxEntryHeaderSize];
        const size_t size = lzh::BuildEntryHeader(Fields(level, "dir/sub/file.txt"), h);
        ASSERT_NE(0u, size);
        ReadHeader r(h, size);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(static_cast<long>(size), r.end);
        EXPECT_STREQ("dir\\sub\\file.txt", r.reader.header.name);
        EXPECT_STREQ("-lh5-", r.reader.header.method);
        EXPECT_EQ(1234u, r.reader.header.packedSize);
        EXPECT_EQ(5678u, r.reader.header.unpackedSize);
        EXPECT_EQ(0xBEEF, r.reader.header.crc16);
        EXPECT_EQ(0x21, r.reader.header.attribute);
        EXPECT_EQ(level == 2 ? 1700000000u : kDosTime, r.reader.header.timeStamp);
        // Levels 1 and 2 keep 0x20 in byte 19 and the attributes in an
        // extended header, as some readers insist.
        EXPECT_EQ(level == 0 ? 0x21 : 0x20, h[19]);
        EXPECT_TRUE(r.reporter.texts.empty());
    }
}

TEST_F(HeaderWriter, DosTimesAreHeldToTheirRange) {
    EXPECT_EQ((0u << 9 | 1 << 5 | 1) << 16, lzh::DosTimeOf(0));
    EXPECT_EQ((0u << 9 | 1 << 5 | 1) << 16, lzh::DosTimeOf(315532799));
    EXPECT_EQ((0u << 9 | 1 << 5 | 1) << 16 | 1, lzh::DosTimeOf(315532802));  // two-second steps
    EXPECT_EQ((127u << 9 | 12 << 5 | 31) << 16 | (23 << 11 | 59 << 5 | 29), lzh::DosTimeOf(int64_t{1} << 40));
}

TEST_F(HeaderWriter, FoldersAtEveryLevel) {
    for (int level = 0; level <= 2; level++) {
        SCOPED_TRACE(level);
        uint8_t h[lzh::kMaxEntryHeaderSize];
        const size_t size = lzh::BuildEntryHeader(Fields(level, "a/b", true), h);
        ReadHeader r(h, size);
        ASSERT_TRUE(r.ok);
        EXPECT_STREQ("a\\b\\", r.reader.header.name);
        EXPECT_STREQ("-lhd-", r.reader.header.method);
    }
}

// The header CRC covers every byte, the pad byte of a header whose size
// would be a multiple of 256 too.
TEST_F(HeaderWriter, Level2HeaderCrcAndPadding) {
    lzh::HeaderFields f = Fields(2, "");
    f.attributes = 0x20;  // no attribute header: 26 + 5 + 3 + 222 = 256 bytes
    const std::string name(222, 'n');
    f.name = name.c_str();
    uint8_t h[lzh::kMaxEntryHeaderSize];
    const size_t size = lzh::BuildEntryHeader(f, h);
    EXPECT_EQ(257u, size);
    EXPECT_EQ(1, h[0]);
    EXPECT_EQ(1, h[1]);
    EXPECT_TRUE(ReadHeader(h, size).ok);
    for (const size_t at : {size_t{2}, size_t{40}, size - 1}) {
        SCOPED_TRACE(at);
        uint8_t damaged[lzh::kMaxEntryHeaderSize];
        std::memcpy(damaged, h, size);
        damaged[at] ^= 1;
        EXPECT_FALSE(ReadHeader(damaged, size).ok);
    }
}

TEST_F(HeaderWriter, NamesOutsideTheLevelsLimitsAreRefused) {
    uint8_t h[lzh::kMaxEntryHeaderSize];
    // Level 0: the whole path in at most 233 bytes.
    const std::string n231(231, 'a'), n259(259, 'b'), n260(260, 'b'), n261(261, 'b');
    EXPECT_NE(0u, lzh::BuildEntryHeader(Fields(0, (n231 + "aa").c_str()), h));
    EXPECT_EQ(0u, lzh::BuildEntryHeader(Fields(0, (n231 + "aaa").c_str()), h));
    EXPECT_NE(0u, lzh::BuildEntryHeader(Fields(0, ("d/" + n231).c_str()), h));
    EXPECT_EQ(0u, lzh::BuildEntryHeader(Fields(0, ("dd/" + n231).c_str()), h));
    // Levels 1 and 2: a name and a folder path (with its final separator)
    // of at most 260 bytes each; a level-1 name too long for the base
    // header goes into an extended one.
    for (int level = 1; level <= 2; level++) {
        SCOPED_TRACE(level);
        const size_t size = lzh::BuildEntryHeader(Fields(level, (n259 + "/" + n260).c_str()), h);
        ASSERT_NE(0u, size);
        ReadHeader r(h, size);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(n259 + "\\" + n260, r.reader.header.name);
        EXPECT_EQ(0u, lzh::BuildEntryHeader(Fields(level, n261.c_str()), h));
        EXPECT_EQ(0u, lzh::BuildEntryHeader(Fields(level, (n260 + "/a").c_str()), h));
    }
    for (const char* bad : {"", "/a", "a/", "a//b", "a\xFF"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(0u, lzh::BuildEntryHeader(Fields(2, bad), h));
    }
}

// The types of the extended headers in the order written.
std::vector<uint8_t> ExtendedTypes(const uint8_t* h, int level) {
    std::vector<uint8_t> types;
    size_t at = level == 2 ? 26 : h[0] + 2u;
    for (size_t size = h[at - 2] | h[at - 1] << 8; size != 0; at += size, size = h[at - 2] | h[at - 1] << 8)
        types.push_back(h[at]);
    return types;
}

// The exact name goes into 0x44 and 0x45 behind 0x46 and the code-page
// names, which stay as given; folders end with 0xFFFF.
TEST_F(HeaderWriter, ExactNamesBesideTheCodePageOnes) {
    for (int level = 1; level <= 2; level++) {
        SCOPED_TRACE(level);
        lzh::HeaderFields f = Fields(level, "_/\x83\x5C/_ \x95\x5C.txt");
        f.wideName = u"Δέλτα/ソ/\U0001F600 表.txt";
        f.codePage = 932;
        uint8_t h[lzh::kMaxEntryHeaderSize];
        const size_t size = lzh::BuildEntryHeader(f, h);
        ASSERT_NE(0u, size);
        ReadHeader r(h, size);
        ASSERT_TRUE(r.ok);
        EXPECT_STREQ("_\\\x83\x5C\\_ \x95\x5C.txt", r.reader.header.name);
        EXPECT_EQ(std::u16string(u"\U0001F600 表.txt"), r.names.file);
        EXPECT_EQ(std::u16string(u"Δέλτα\\ソ\\"), r.names.folder);
        EXPECT_EQ(932u, r.names.codePage);
        const std::vector<uint8_t> types = ExtendedTypes(h, level);
        const std::vector<uint8_t> expected = {0x01, 0x02, 0x46, 0x44, 0x45, 0x40};
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), types.end() - 6)) << types.size();

        // A folder entry has no file name.
        f = Fields(level, "_/_", true);
        f.wideName = u"ж/ё";
        ReadHeader folder(h, lzh::BuildEntryHeader(f, h));
        ASSERT_TRUE(folder.ok);
        EXPECT_EQ(std::u16string(u"ж\\ё\\"), folder.names.folder);
        EXPECT_EQ(std::u16string(), folder.names.file);
    }
}

TEST_F(HeaderWriter, ExactNamesOutsideTheLimitsAreRefused) {
    uint8_t h[lzh::kMaxEntryHeaderSize];
    const std::u16string w259(259, u'ж'), w260(260, u'ж'), w261(261, u'ж');
    const auto size = [&](int level, const std::u16string& wide) {
        lzh::HeaderFields f = Fields(level, "d/n.txt");
        f.wideName = wide.c_str();
        f.codePage = 1252;
        return lzh::BuildEntryHeader(f, h);
    };
    EXPECT_EQ(0u, size(0, u"d/n.txt"));  // level 0 has no room for them
    for (int level = 1; level <= 2; level++) {
        SCOPED_TRACE(level);
        EXPECT_NE(0u, size(level, w259 + u"/" + w260));
        EXPECT_GT(lzh::kMaxEntryHeaderSize, size(level, w259 + u"/" + w260));
        EXPECT_EQ(0u, size(level, w260 + u"/n"));
        EXPECT_EQ(0u, size(level, u"d/" + w261));
        for (const char16_t* bad : {u"", u"/a", u"a/", u"a//b", u"a\xFFFF"}) EXPECT_EQ(0u, size(level, bad));
    }
}
