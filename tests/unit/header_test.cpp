// The entry header reader: levels 0, 1 and 2, checks and extended headers.
#include <gtest/gtest.h>

#include <cstring>

#include "archive/header.h"
#include "test_support.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }
bool ShiftJis(unsigned char b) { return lzh::IsShiftJisLeadByte(b); }

struct Reader {
    explicit Reader(const Bytes& bytes, lzh::LeadBytePredicate lead = NoLeadBytes)
        : file(bytes), reader(file.get(), reporter, lead) {}
    int Read() { return reader.ReadEntryHeader(work); }
    const lzh::EntryHeader& h() const { return reader.header; }
    long Position() const { return std::ftell(file.get()); }

    MemoryFile file;
    RecordingReporter reporter;
    lzh::HeaderReader reader;
    uint8_t work[lzh::kHeaderWorkSize];
};

Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

}  // namespace

TEST(HeaderReader, ReadsEveryLevelAndStopsAtItsEnd) {
    for (int level = 0; level <= 2; level++) {
        SCOPED_TRACE(level);
        HeaderSpec spec;
        spec.level = level;
        spec.method = "-lh5-";
        spec.packedSize = 1234;
        spec.unpackedSize = 5678;
        spec.timeStamp = 0x5A3C6B21;
        spec.attribute = 0x21;
        spec.crc16 = 0xBEEF;
        if (level < 2)
            spec.name = "dir\\file.txt";
        else
            spec.exts.push_back({0x01, Text("file.txt")});
        Bytes bytes = BuildHeader(spec);
        const long end = static_cast<long>(bytes.size());
        bytes.push_back(0xAA);  // first byte of the packed data
        Reader r(bytes);
        ASSERT_EQ(1, r.Read());
        EXPECT_EQ(level, r.h().level);
        EXPECT_STREQ("-lh5-", r.h().method);
        EXPECT_EQ(1234u, r.h().packedSize);
        EXPECT_EQ(5678u, r.h().unpackedSize);
        EXPECT_EQ(0x5A3C6B21u, r.h().timeStamp);
        EXPECT_EQ(0x21, r.h().attribute);
        EXPECT_EQ(0xBEEF, r.h().crc16);
        EXPECT_STREQ(level < 2 ? "dir\\file.txt" : "file.txt", r.h().name);
        EXPECT_EQ(end, r.Position());
        EXPECT_TRUE(r.reporter.texts.empty());
    }
}

TEST(HeaderReader, EndMarkAndShortOrForeignHeadersReturnZeroSilently) {
    EXPECT_EQ(0, Reader({0}).Read());  // the end mark
    EXPECT_EQ(0, Reader(Bytes(20, 0x41)).Read());

    HeaderSpec spec;
    spec.name = "a";
    Bytes level3 = BuildHeader(spec);
    level3[20] = 3;
    EXPECT_EQ(0, Reader(level3).Read());

    Bytes notLh = BuildHeader(spec);
    notLh[3] = 'x';  // "-xh0-"
    Reader r(notLh);
    EXPECT_EQ(0, r.Read());
    EXPECT_TRUE(r.reporter.texts.empty());

    Bytes tooSmall = BuildHeader(spec);
    tooSmall[0] = 10;  // base header below 21 bytes
    EXPECT_EQ(0, Reader(tooSmall).Read());

    Bytes truncated = BuildHeader(spec);
    truncated.resize(truncated.size() - 1);
    EXPECT_EQ(0, Reader(truncated).Read());
}

TEST(HeaderReader, TellsHowTheArchiveEnded) {
    const auto endOf = [](const Bytes& bytes) {
        Reader r(bytes);
        EXPECT_EQ(0, r.Read());
        return r.reader.end;
    };
    using lzh::ArchiveEnd;
    EXPECT_EQ(ArchiveEnd::kEndMark, endOf({0}));
    EXPECT_EQ(ArchiveEnd::kEndMark, endOf(Bytes(40, 0)));  // the end mark and padding
    EXPECT_EQ(ArchiveEnd::kEndOfFile, endOf({}));
    HeaderSpec spec;
    spec.name = "a";
    const Bytes header = BuildHeader(spec);
    EXPECT_EQ(ArchiveEnd::kBroken, endOf(Bytes(header.begin(), header.begin() + 10)));
    EXPECT_EQ(ArchiveEnd::kBroken, endOf(Bytes(header.begin(), header.end() - 1)));
    Bytes level3 = header;
    level3[20] = 3;
    EXPECT_EQ(ArchiveEnd::kBroken, endOf(level3));
}

TEST(HeaderReader, BadChecksumOrNameLengthIsReported) {
    HeaderSpec spec;
    spec.name = "name.txt";
    Bytes badSum = BuildHeader(spec);
    badSum[1] ^= 1;
    Reader r1(badSum);
    EXPECT_EQ(0, r1.Read());
    EXPECT_EQ(std::vector<std::string>{"invalid header."}, r1.reporter.texts);

    // Size byte 19: a 21-byte header has no room for the name length.
    Bytes small(21, 0);
    small[0] = 19;
    std::memcpy(&small[2], "-lh0-", 5);
    uint8_t sum = 0;
    for (int i = 2; i < 21; i++) sum = static_cast<uint8_t>(sum + small[i]);
    small[1] = sum;
    Reader r2(small);
    EXPECT_EQ(0, r2.Read());
    EXPECT_EQ(std::vector<std::string>{"invalid header."}, r2.reporter.texts);
}

TEST(HeaderReader, LongestLevelZeroNameIsRead) {
    // Size byte 255: a 257-byte header with a 233-byte name.
    HeaderSpec spec;
    spec.name = std::string(233, 'm');
    const Bytes bytes = BuildHeader(spec);
    ASSERT_EQ(255, bytes[0]);
    Reader r(bytes);
    ASSERT_EQ(1, r.Read());
    EXPECT_EQ(233u, std::strlen(r.h().name));
    EXPECT_EQ(257, r.Position());
}

TEST(HeaderReader, LevelOnePackedSizeExcludesExtendedHeaders) {
    HeaderSpec spec;
    spec.level = 1;
    spec.name = "a.txt";
    spec.packedSize = 1000;
    spec.exts.push_back({0x7F, Bytes(23, 0)});  // 26 bytes
    spec.exts.push_back({0x40, {0x01, 0x00}});  // 5 bytes: attribute 1
    const Bytes bytes = BuildHeader(spec);
    EXPECT_EQ(1031u, bytes[7] | bytes[8] << 8);
    Reader r(bytes);
    ASSERT_EQ(1, r.Read());
    EXPECT_EQ(1000u, r.h().packedSize);
    EXPECT_EQ(0x01, r.h().attribute);
    EXPECT_EQ(static_cast<long>(bytes.size()), r.Position());
}

TEST(HeaderReader, NameAndDirectoryHeadersAreJoinedAndCut) {
    HeaderSpec spec;
    spec.level = 2;
    spec.exts.push_back({0x02, {'d', 'o', 'c', 's', 0xFF, 'i', 'm', 'g', 0xFF}});
    spec.exts.push_back({0x01, Text("a.txt")});
    Reader r(BuildHeader(spec));
    ASSERT_EQ(1, r.Read());
    EXPECT_STREQ("docs\\img\\a.txt", r.h().name);

    // A directory without its final 0xFF still gets a separator.
    HeaderSpec unterminated;
    unterminated.level = 1;
    unterminated.name = "hello.txt";
    unterminated.exts.push_back({0x02, {'s', 'u', 'b', 0xFF, 's', 'u', 'b', '2'}});
    Reader r1(BuildHeader(unterminated));
    ASSERT_EQ(1, r1.Read());
    EXPECT_STREQ("sub\\sub2\\hello.txt", r1.h().name);

    HeaderSpec longName;
    longName.level = 2;
    longName.exts.push_back({0x02, Bytes(300, 'd')});
    longName.exts.push_back({0x01, Bytes(300, 'n')});
    Reader r2(BuildHeader(longName));
    ASSERT_EQ(1, r2.Read());
    EXPECT_EQ(std::string(260, 'd') + "\\" + std::string(260, 'n'), r2.h().name);
}

TEST(HeaderReader, FFTrailByteOfADoubleByteCharacterIsNoSeparator) {
    HeaderSpec spec;
    spec.level = 2;
    spec.exts.push_back({0x02, {0x81, 0xFF, 0xFF}});  // lead byte, 0xFF trail, separator
    spec.exts.push_back({0x01, Text("x")});
    Reader r(BuildHeader(spec), ShiftJis);
    ASSERT_EQ(1, r.Read());
    EXPECT_STREQ("\x81\xFF\\x", r.h().name);
}

TEST(HeaderReader, HeaderCrcIsChecked) {
    HeaderSpec spec;
    spec.level = 2;
    spec.headerCrc = true;
    spec.exts.push_back({0x01, Text("ok.txt")});
    const Bytes good = BuildHeader(spec);
    EXPECT_EQ(1, Reader(good).Read());

    Bytes bad = good;
    bad[good.size() - 3] ^= 0x20;  // a name byte: the CRC no longer matches
    Reader r(bad);
    EXPECT_EQ(0, r.Read());
    EXPECT_TRUE(r.reporter.texts.empty());

    // Only the first header-CRC header counts; a second one is ignored.
    HeaderSpec twice = spec;
    twice.exts.push_back({0x00, {0x12, 0x34}});
    Bytes withSecond = BuildHeader(twice);
    EXPECT_EQ(1, Reader(withSecond).Read());
}

TEST(HeaderReader, ExtendedHeaderLimitsAndShortAttributes) {
    HeaderSpec spec;
    spec.level = 2;
    spec.attribute = 0x20;
    spec.exts.push_back({0x40, {0x07}});  // n = 4: too short, attribute unchanged
    Reader r(BuildHeader(spec));
    ASSERT_EQ(1, r.Read());
    EXPECT_EQ(0x20, r.h().attribute);

    HeaderSpec huge;
    huge.level = 2;
    huge.exts.push_back({0x7F, Bytes(4094, 0)});  // 4097 bytes
    EXPECT_EQ(0, Reader(BuildHeader(huge)).Read());

    HeaderSpec largest = huge;
    largest.exts[0].data.resize(4093);  // 4096 bytes
    EXPECT_EQ(1, Reader(BuildHeader(largest)).Read());
}

TEST(HeaderReader, LevelTwoSizesThatAreMultiplesOf256AndPadding) {
    // A 256-byte header has 0 in its first byte but is no end mark.
    HeaderSpec spec;
    spec.level = 2;
    spec.headerCrc = true;
    spec.exts.push_back({0x01, Bytes(256 - 26 - 5 - 3, 'q')});
    Bytes exact = BuildHeader(spec);
    ASSERT_EQ(256u, exact.size());
    ASSERT_EQ(0, exact[0]);
    Reader r(exact);
    EXPECT_EQ(1, r.Read());
    EXPECT_EQ(256, r.Position());

    // A total size one byte beyond the chain: the pad byte belongs to the
    // header and is covered by the header CRC.
    HeaderSpec padded;
    padded.level = 2;
    padded.exts.push_back({0x01, Text("p.txt")});
    Bytes bytes = BuildHeader(padded);
    bytes.push_back(0x00);
    bytes[0] = static_cast<uint8_t>(bytes.size());
    bytes.push_back(0xAA);
    Reader r2(bytes);
    ASSERT_EQ(1, r2.Read());
    EXPECT_EQ(static_cast<long>(bytes.size() - 1), r2.Position());
}

TEST(DosTime, FieldsAndPackedFormAgree) {
    // 2023-11-14 22:13:20: date 43 << 9 | 11 << 5 | 14, time 22 << 11 | 13 << 5 | 10.
    constexpr uint32_t packed = 0x576E'B1AA;
    const lzh::DosDateTime t = lzh::UnpackDosTime(packed);
    EXPECT_EQ((std::vector<unsigned>{2023, 11, 14, 22, 13, 20}),
              (std::vector<unsigned>{t.year, t.month, t.day, t.hour, t.minute, t.second}));
    EXPECT_EQ(packed, lzh::PackDosTime(t));
    EXPECT_EQ(packed, lzh::PackDosTime({2023, 11, 14, 22, 13, 21}));  // two-second steps
    // Every value of the range comes back unchanged.
    for (uint32_t date : {0x0021u, 0xFF9Fu})
        for (uint32_t clock : {0u, 0xBF7Du})
            EXPECT_EQ(date << 16 | clock, lzh::PackDosTime(lzh::UnpackDosTime(date << 16 | clock)));
    EXPECT_EQ(lzh::kFirstDosTime, 0x0021'0000u);
    EXPECT_EQ(lzh::kLastDosTime, 0xFF9F'BF7Du);
}

namespace {

using namespace std::string_literals;

// UTF-16LE bytes of a text, lone surrogates and NULs as they are.
Bytes Utf16(const std::u16string& text) {
    Bytes bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

// Reads one header with the UTF-16 names asked for.
struct WideReader : Reader {
    explicit WideReader(const Bytes& bytes) : Reader(bytes, ShiftJis) { reader.wideNames = &names; }
    std::u16string File() const { return names.file; }
    std::u16string Folder() const { return names.folder; }
    lzh::WideNames names;
};

HeaderSpec WithExts(int level, std::vector<ExtHeader> exts) {
    HeaderSpec spec;
    spec.level = level;
    spec.name = level < 2 ? "x.txt" : "";
    spec.exts = std::move(exts);
    return spec;
}

const Bytes kCodePage932 = {0xA4, 0x03, 0x00, 0x00};

}  // namespace

// 0x44 and 0x45 carry the exact names beside the code-page ones, 0x46 the
// code page of those; 0xFFFF separates folders as 0xFF does in 0x02.
TEST(WideNames, ReadBesideTheCodePageNamesAtLevelsOneAndTwo) {
    const std::u16string sep(1, u'\xFFFF');
    for (int level = 1; level <= 2; level++) {
        SCOPED_TRACE(level);
        std::vector<ExtHeader> exts = {{0x02, {'_', 0xFF, 0x83, 0x5C, 0xFF}},
                                       {0x46, kCodePage932},
                                       {0x44, Utf16(u"表示 \U0001F600.txt")},
                                       {0x45, Utf16(u"Δέλτα" + sep + u"ソ" + sep)}};
        if (level == 2) exts.insert(exts.begin(), {0x01, Text("x.txt")});
        WideReader r(BuildHeader(WithExts(level, exts)));
        ASSERT_EQ(1, r.Read());
        EXPECT_STREQ("_\\\x83\x5C\\x.txt", r.h().name);  // the code-page name as before
        EXPECT_EQ(u"表示 \U0001F600.txt", r.File());
        EXPECT_EQ(u"Δέλτα\\ソ\\", r.Folder());
        EXPECT_EQ(932u, r.names.codePage);
    }
    // Without a place for them the same header reads as before.
    Reader plain(BuildHeader(WithExts(2, {{0x01, Text("x.txt")}, {0x44, Utf16(u"表示.txt")}})));
    ASSERT_EQ(1, plain.Read());
    EXPECT_STREQ("x.txt", plain.h().name);
}

TEST(WideNames, EveryHeaderStartsWithoutAndLevelZeroHasNone) {
    Bytes archive = BuildHeader(WithExts(2, {{0x46, kCodePage932}, {0x44, Utf16(u"á")}, {0x45, Utf16(u"é")}}));
    const Bytes second = BuildHeader(WithExts(2, {{0x01, Text("b")}}));
    archive.insert(archive.end(), second.begin(), second.end());
    HeaderSpec level0;
    level0.name = "c";
    const Bytes third = BuildHeader(level0);
    archive.insert(archive.end(), third.begin(), third.end());
    WideReader r(archive);
    ASSERT_EQ(1, r.Read());
    EXPECT_EQ(u"á", r.File());
    EXPECT_EQ(u"é", r.Folder());
    for (int i = 0; i < 2; i++) {
        r.names.codePage = 7;
        r.names.file[0] = r.names.folder[0] = u'z';
        ASSERT_EQ(1, r.Read());
        EXPECT_EQ(u"", r.File());
        EXPECT_EQ(u"", r.Folder());
        EXPECT_EQ(0u, r.names.codePage);
    }
}

// A name that is not well-formed UTF-16 is left out, so that the code-page
// name stands; a NUL ends a name; 0xFFFF in a file name is a separator too.
TEST(WideNames, MalformedNamesAreLeftOut) {
    const auto fileOf = [](const Bytes& data) {
        WideReader r(BuildHeader(WithExts(2, {{0x01, Text("cp.txt")}, {0x44, data}})));
        EXPECT_EQ(1, r.Read());
        EXPECT_STREQ("cp.txt", r.h().name);
        return r.File();
    };
    Bytes odd = Utf16(u"ab");
    odd.push_back('c');
    EXPECT_EQ(u"", fileOf(odd));
    EXPECT_EQ(u"", fileOf(Utf16(u"a\xD83D")));             // a high surrogate at the end
    EXPECT_EQ(u"", fileOf(Utf16(u"a\xD83D" u"b")));        // ... before another unit
    EXPECT_EQ(u"", fileOf(Utf16(u"a\xDE00" u"b")));        // a low surrogate alone
    EXPECT_EQ(u"", fileOf(Utf16(u"\xD83D\xD83D\xDE00")));  // two highs
    EXPECT_EQ(u"", fileOf(Utf16(u"a\xD83D\0\xDE00"s)));
    EXPECT_EQ(u"\U0001F600", fileOf(Utf16(u"\U0001F600")));
    EXPECT_EQ(u"ab", fileOf(Utf16(u"ab\0\xD83D/../x"s)));
    EXPECT_EQ(u"", fileOf(Bytes{0, 0, 'a', 0}));
    EXPECT_EQ(u"", fileOf({}));
    EXPECT_EQ(u"a\\b", fileOf(Utf16(u"a\xFFFF" u"b")));
    EXPECT_EQ(u"../a/b\\c", fileOf(Utf16(u"../a/b\\c")));  // made safe by the caller

    // Up to 260 units; a longer name is left out, not cut.
    const std::u16string longest(260, u'ж');
    EXPECT_EQ(longest, fileOf(Utf16(longest)));
    EXPECT_EQ(longest, fileOf(Utf16(longest + u"\0x"s)));
    EXPECT_EQ(u"", fileOf(Utf16(longest + u"ж")));
    WideReader folder(BuildHeader(WithExts(2, {{0x45, Utf16(longest + u"ж")}})));
    ASSERT_EQ(1, folder.Read());
    EXPECT_EQ(u"", folder.Folder());

    // A code page needs its four bytes.
    WideReader shortPage(BuildHeader(WithExts(2, {{0x46, {0xA4, 0x03, 0x00}}})));
    ASSERT_EQ(1, shortPage.Read());
    EXPECT_EQ(0u, shortPage.names.codePage);
}
