// Finding the first entry header behind other data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "archive/scanner.h"
#include "package/archive_start.h"
#include "package/sfx_config.h"
#include "test_support.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }

// Scans from `from`, or with from -1 as FindArchive looks for a package's archive.
struct Scan {
    explicit Scan(const Bytes& bytes, long from = 0)
        : file(bytes), reader(file.get(), reporter, NoLeadBytes) {
        found = from < 0 ? FindArchive(reader, window.data(), work, &offset)
                         : lzh::FindFirstHeader(reader, window.data(), work, &offset, from);
    }
    MemoryFile file;
    RecordingReporter reporter;
    lzh::HeaderReader reader;
    std::vector<uint8_t> window = std::vector<uint8_t>(lzh::kScanWindowSize);
    uint8_t work[lzh::kHeaderWorkSize];
    long offset = 0;
    int found = 0;
};

Bytes Archive() {
    HeaderSpec spec;
    spec.name = "a.txt";
    spec.packedSize = 3;
    spec.unpackedSize = 3;
    Bytes bytes = BuildHeader(spec);
    bytes.insert(bytes.end(), {'a', 'b', 'c', 0});
    return bytes;
}

Bytes Prefixed(size_t junk, const Bytes& archive) {
    Bytes bytes(junk, 'x');
    bytes.insert(bytes.end(), archive.begin(), archive.end());
    return bytes;
}

}  // namespace

TEST(Scanner, SmallOrHeaderlessFilesHaveNoArchive) {
    Scan tiny(Bytes(20, '-'));
    EXPECT_EQ(0, tiny.found);
    EXPECT_EQ(-1, tiny.offset);

    Scan none(Bytes(200000, 'z'));
    EXPECT_EQ(0, none.found);
    EXPECT_EQ(-1, none.offset);
}

TEST(Scanner, FindsTheHeaderAtItsOffset) {
    Scan at0(Archive());
    EXPECT_EQ(1, at0.found);
    EXPECT_EQ(0, at0.offset);

    Scan inFirstWindow(Prefixed(35840, Archive()));
    EXPECT_EQ(1, inFirstWindow.found);
    EXPECT_EQ(35840, inFirstWindow.offset);

    Scan later(Prefixed(70000, Archive()));
    EXPECT_EQ(1, later.found);
    EXPECT_EQ(70000, later.offset);
}

TEST(Scanner, HeaderInTheLastBytesOfAWindowIsFound) {
    // No candidate before it, so a scan that started the next window at the
    // end of this one would skip it.
    for (size_t at : {65516u, 65520u, 65535u}) {
        SCOPED_TRACE(at);
        Scan s(Prefixed(at, Archive()));
        EXPECT_EQ(1, s.found);
        EXPECT_EQ(static_cast<long>(at), s.offset);
    }
}

TEST(Scanner, FalseCandidatesAreSkipped) {
    // A method id in the module's own data, followed by text: level byte 'e'.
    Bytes bytes(100, 'x');
    const char* decoy = "..-lhd- is a directory entry";
    std::memcpy(&bytes[10], decoy, std::strlen(decoy));
    // A level-0 candidate with a wrong checksum: reported, then passed over.
    Bytes badSum = Archive();
    badSum[1] ^= 0x55;
    bytes.insert(bytes.end(), badSum.begin(), badSum.end());
    const size_t good = bytes.size();
    const Bytes archive = Archive();
    bytes.insert(bytes.end(), archive.begin(), archive.end());

    Scan s(bytes);
    EXPECT_EQ(1, s.found);
    EXPECT_EQ(static_cast<long>(good), s.offset);
    EXPECT_EQ(std::vector<std::string>{"invalid header."}, s.reporter.texts);
}

TEST(Scanner, StartsWhereTold) {
    // A package's block may hold a text such as a destination "C:\\sfx-lh7":
    // behind the block, the scan never meets it.
    Bytes bytes = Archive();
    const Bytes later = Prefixed(300, Archive());
    bytes.insert(bytes.end(), later.begin(), later.end());
    const long second = static_cast<long>(Archive().size() + 300);
    Scan behind(bytes, 1);
    EXPECT_EQ(1, behind.found);
    EXPECT_EQ(second, behind.offset);
    Scan past(bytes, second + 1);
    EXPECT_EQ(0, past.found);
}

TEST(Scanner, CraftedCandidatesCannotMakeTheScanQuadratic) {
    // A candidate every 10 bytes, each a level-2 header whose extended
    // headers chain on to the end of the file: every one would read the rest
    // of the file before failing.
    const uint8_t chain[10] = {2, 0, '-', 'l', 'h', 1, 0, 0x55, 0x66, 0x77};
    Bytes bytes;
    for (int i = 0; i < 40000; i++) bytes.insert(bytes.end(), chain, chain + 10);
    Scan s(bytes);
    EXPECT_EQ(0, s.found);
    EXPECT_EQ(-1, s.offset);
    EXPECT_LE(s.reader.bytesRead, 8u * bytes.size() + (1u << 20) + bytes.size());
}

namespace {

// A file that starts like a module: an MZ header, a PE header and one
// section whose raw data ends at imageEnd, padded to that size with a text
// that holds a header's look-alike.
Bytes ModuleImage(uint32_t imageEnd) {
    Bytes image(imageEnd, 0);
    image[0] = 'M', image[1] = 'Z';
    image[0x3C] = 0x40;
    std::memcpy(&image[0x40], "PE\0\0", 4);
    image[0x40 + 6] = 1;                                     // one section
    image[0x40 + 20] = 0xE0;                                 // optional header of 224 bytes
    const size_t section = 0x40 + 24 + 0xE0;                 // its table entry
    image[section + 16] = 0x00, image[section + 17] = 0x02;  // raw size 0x200
    image[section + 20] = 0x00, image[section + 21] = 0x02;  // raw offset 0x200
    const Bytes lookAlike = Archive();
    std::copy(lookAlike.begin(), lookAlike.end(), image.begin() + 0x300);
    return image;
}

// The archive as a package's reader finds it.
struct Found : Scan {
    explicit Found(const Bytes& bytes) : Scan(bytes, -1) {}
};

}  // namespace

TEST(Scanner, APackagesArchiveStartsBehindItsBlock) {
    // Module, block (whose question looks like a header too), archive.
    Bytes package = ModuleImage(0x400);
    Bytes block(kConfigBlockSize, 0);
    std::memcpy(block.data(), kConfigSignature, sizeof kConfigSignature);
    const Bytes lookAlike = Archive();
    std::copy(lookAlike.begin(), lookAlike.end(), block.begin() + 448);
    package.insert(package.end(), block.begin(), block.end());
    const long archiveAt = static_cast<long>(package.size()) + 7;
    const Bytes archive = Prefixed(7, Archive());
    package.insert(package.end(), archive.begin(), archive.end());
    Found inPackage(package);
    EXPECT_EQ(1, inPackage.found);
    EXPECT_EQ(archiveAt, inPackage.offset);

    // Without the block's signature the file is scanned from its start, as
    // is a plain archive.
    package[0x400] = 'X';
    Found unsigned_(package);
    EXPECT_EQ(0x300, unsigned_.offset);
    Found plain(Prefixed(5, Archive()));
    EXPECT_EQ(5, plain.offset);
    // A signature cut short by the end of the file is none.
    package[0x400] = kConfigSignature[0];
    Found cut(Bytes(package.begin(), package.begin() + 0x403));
    EXPECT_EQ(0x300, cut.offset);
}
