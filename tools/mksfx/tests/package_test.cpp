#include "package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "package/crc32.h"
#include "pe/image.h"
#include "cli.h"
#include "config_block.h"
#include "test_files.h"
#include "test_images.h"

namespace {

namespace fs = std::filesystem;

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

std::string TextAt(const Bytes& b, size_t at, size_t width) {
    const auto* p = reinterpret_cast<const char*>(&b[at]);
    return std::string(p, strnlen(p, width));
}

// The block's fields at the module's offsets, integers little-endian.
TEST(ConfigBlock, BytesFollowTheModulesLayout) {
    mksfx::SfxConfig c = mksfx::DefaultConfig();
    ASSERT_TRUE(mksfx::SetTextField(c.destination, sizeof c.destination, "%temp%"));
    ASSERT_TRUE(mksfx::SetTextField(c.command, sizeof c.command, "setup.exe"));
    ASSERT_TRUE(mksfx::SetTextField(c.title, sizeof c.title, "Title"));
    ASSERT_TRUE(mksfx::SetTextField(c.question, sizeof c.question, "Go?"));
    c.variant = '6';
    c.noConfirm = 0x04030201;
    c.openFolder = 0;
    c.removeAfterRun = 1;
    c.skipDestinationDialog = 0x7F000000;
    c.expectedCrc = 0xCBF43926;

    Bytes b(mksfx::kConfigBlockSize);
    mksfx::EncodeConfig(c, b.data());
    EXPECT_EQ(std::string(b.begin(), b.begin() + 8), std::string("ORVANE6\0", 8));
    EXPECT_EQ(TextAt(b, 8, 260), "%temp%");
    EXPECT_EQ(TextAt(b, 268, 128), "setup.exe");
    EXPECT_EQ(b[396], 0x01);
    EXPECT_EQ(b[399], 0x04);
    EXPECT_EQ(Le32(b, 396), 0x04030201u);
    EXPECT_EQ(Le32(b, 400), 0u);
    EXPECT_EQ(Le32(b, 404), 1u);
    EXPECT_EQ(Le32(b, 408), 0x7F000000u);
    EXPECT_EQ(b[412], 0x26);
    EXPECT_EQ(Le32(b, 412), 0xCBF43926u);
    EXPECT_EQ(TextAt(b, 416, 32), "Title");
    EXPECT_EQ(TextAt(b, 448, 64), "Go?");
    // Text fields are NUL-padded to their ends.
    for (size_t i = 8 + 6; i < 268; i++) ASSERT_EQ(b[i], 0) << "offset " << i;
    for (size_t i = 448 + 3; i < 512; i++) ASSERT_EQ(b[i], 0) << "offset " << i;
}

TEST(ConfigBlock, SetTextFieldRefusesWithoutTouchingTheField) {
    char field[8];
    ASSERT_TRUE(mksfx::SetTextField(field, sizeof field, "1234567"));
    EXPECT_FALSE(mksfx::SetTextField(field, sizeof field, "12345678"));
    EXPECT_STREQ(field, "1234567");
    ASSERT_TRUE(mksfx::SetTextField(field, sizeof field, ""));
    EXPECT_EQ(std::memcmp(field, "\0\0\0\0\0\0\0\0", 8), 0);
}

// Runs mksfx on files in a private folder and keeps what it printed.
class Packager : public ::testing::Test {
protected:
    void SetUp() override {
        module = MakeModule();
        pe::Image image;
        std::string error;
        ASSERT_TRUE(pe::ReadImage(module.data(), module.size(), image, error)) << error;
        checksumField = image.ChecksumOffset();
        archive = MakeArchive("hello.txt", "Hello, world!\r\n");
        WriteBytes(folder / "sfx.exe", module);
        WriteBytes(folder / "a.lzh", archive);
    }

    // Returns the exit status; the arguments follow "-o OUT --module sfx.exe".
    int Run(std::vector<std::string> args) {
        std::vector<std::string> words{"mksfx", "-o", Path("out.exe"), "--module", Path("sfx.exe")};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<const char*> argv;
        for (const std::string& w : words) argv.push_back(w.c_str());
        FILE* out = std::fopen(Path("stdout.txt").c_str(), "w+");
        FILE* err = std::fopen(Path("stderr.txt").c_str(), "w+");
        const int status = mksfx::RunMksfx(static_cast<int>(argv.size()), argv.data(), out, err);
        std::fclose(out);
        std::fclose(err);
        const Bytes o = ReadBytes(folder / "stdout.txt"), e = ReadBytes(folder / "stderr.txt");
        printed.assign(o.begin(), o.end());
        messages.assign(e.begin(), e.end());
        return status;
    }

    std::string Path(const std::string& name) const { return (folder / name).string(); }
    bool OutputExists() const { return fs::exists(folder / "out.exe"); }

    // A refusal is one line on stderr and no package.
    void ExpectRefusal(int status, int expected, const std::string& mentions) {
        EXPECT_EQ(status, expected);
        EXPECT_EQ(messages.rfind("mksfx: ", 0), 0u) << messages;
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.find('\n'), messages.size() - 1) << messages;
        EXPECT_NE(messages.find(mentions), std::string::npos) << messages;
        EXPECT_FALSE(OutputExists());
    }

    // The package's PE checksum is the whole file's; the module's bytes are
    // the rest of its image.
    void ExpectWholeFileChecksum(const Bytes& out) {
        EXPECT_EQ(Le32(out, checksumField), pe_test::DwordChecksum(out, checksumField));
        Bytes image(out.begin(), out.begin() + static_cast<long>(module.size()));
        std::copy(module.begin() + static_cast<long>(checksumField),
                  module.begin() + static_cast<long>(checksumField + 4),
                  image.begin() + static_cast<long>(checksumField));
        EXPECT_EQ(image, module);
    }

    TempFolder folder;
    Bytes module, archive;
    size_t checksumField = 0;
    std::string printed, messages;
};

TEST_F(Packager, WritesModuleBlockAndArchive) {
    ASSERT_EQ(Run({"--title", "T", "--question", "Q?", "--run", "setup.exe", Path("a.lzh")}), 0) << messages;
    EXPECT_TRUE(messages.empty()) << messages;
    const Bytes out = ReadBytes(folder / "out.exe");
    // Zeros after the archive make the file a multiple of 8 bytes, as a
    // signer would before appending its certificate table.
    const size_t end = module.size() + 512 + archive.size();
    ASSERT_EQ(out.size(), (end + 7) / 8 * 8);
    ExpectWholeFileChecksum(out);
    EXPECT_TRUE(std::equal(archive.begin(), archive.end(), out.begin() + module.size() + 512));
    EXPECT_TRUE(std::all_of(out.begin() + end, out.end(), [](uint8_t b) { return b == 0; }));

    mksfx::SfxConfig expected = mksfx::DefaultConfig();
    mksfx::SetTextField(expected.title, sizeof expected.title, "T");
    mksfx::SetTextField(expected.question, sizeof expected.question, "Q?");
    mksfx::SetTextField(expected.command, sizeof expected.command, "setup.exe");
    Bytes block(512);
    mksfx::EncodeConfig(expected, block.data());
    EXPECT_TRUE(std::equal(block.begin(), block.end(), out.begin() + module.size()));
    EXPECT_EQ(Le32(out, module.size() + 412), 0u);  // no --crc, no check
    EXPECT_NE(printed.find("first header at " + std::to_string(module.size() + 512)), std::string::npos)
        << printed;
}

TEST_F(Packager, CrcCoversEveryByteAfterTheBlock) {
    // Bytes before the first header and after the end mark are covered too.
    const std::string text = "junk" + std::string(archive.begin(), archive.end()) + "Z";
    const Bytes padded(text.begin(), text.end());
    WriteBytes(folder / "a.lzh", padded);
    ASSERT_EQ(Run({"--crc", Path("a.lzh")}), 0) << messages;

    const Bytes out = ReadBytes(folder / "out.exe");
    const size_t start = module.size() + 512;
    ASSERT_EQ(out.size(), (start + padded.size() + 7) / 8 * 8);
    const uint32_t stored = Le32(out, module.size() + 412);
    EXPECT_NE(stored, 0u);
    EXPECT_EQ(stored, Crc32(out.data() + start, out.size() - start));
    EXPECT_NE(printed.find("first header at " + std::to_string(start + 4)), std::string::npos) << printed;
    ExpectWholeFileChecksum(out);  // computed after the block got its CRC-32

    // The rest of the block is the same as without --crc, the checksum not.
    ASSERT_EQ(Run({Path("a.lzh")}), 0) << messages;
    Bytes plain = ReadBytes(folder / "out.exe");
    ExpectWholeFileChecksum(plain);
    EXPECT_NE(Le32(plain, checksumField), Le32(out, checksumField));
    for (size_t i = 412; i < 416; i++) plain[module.size() + i] = out[module.size() + i];
    for (size_t i = checksumField; i < checksumField + 4; i++) plain[i] = out[i];
    EXPECT_EQ(plain, out);
}

TEST_F(Packager, ModuleWithBytesBehindItsImageIsRefused) {
    Bytes longer = module;
    longer.push_back(0);
    WriteBytes(folder / "sfx.exe", longer);
    ExpectRefusal(Run({Path("a.lzh")}), 1, "image ends at " + std::to_string(module.size()));
}

TEST_F(Packager, PackageAsModuleIsRefused) {
    ASSERT_EQ(Run({Path("a.lzh")}), 0) << messages;
    fs::rename(folder / "out.exe", folder / "sfx.exe");
    ExpectRefusal(Run({Path("a.lzh")}), 1, "image ends at");
}

TEST_F(Packager, ModuleThatIsNoPeImageIsRefused) {
    WriteBytes(folder / "sfx.exe", Bytes(4096, 'M'));
    ExpectRefusal(Run({Path("a.lzh")}), 1, "not a PE image");
    fs::remove(folder / "sfx.exe");
    ExpectRefusal(Run({Path("a.lzh")}), 1, "cannot read the module");
}

TEST_F(Packager, ArchiveWithoutEntryHeaderIsRefused) {
    // Method-like text with no valid header around it.
    std::string text = "not an archive -lh5- -lzs- ";
    while (text.size() < 3000) text += text;
    WriteBytes(folder / "a.lzh", Bytes(text.begin(), text.end()));
    ExpectRefusal(Run({Path("a.lzh")}), 1, "no LHA entry header");
    WriteBytes(folder / "a.lzh", Bytes{});
    ExpectRefusal(Run({Path("a.lzh")}), 1, "no LHA entry header");
    ExpectRefusal(Run({Path("missing.lzh")}), 1, "cannot read the archive");
}

TEST_F(Packager, AHeaderInsideTheModuleIsNotTheArchive) {
    // The archive is looked for behind the block, as the module looks.
    WriteBytes(folder / "sfx.exe", MakeModule(MakeArchive("decoy.txt", "decoy")));
    ASSERT_EQ(Run({Path("a.lzh")}), 0);
    const std::vector<Extracted> entries = ExtractPackage(folder / "out.exe");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].name, "hello.txt");
}

TEST_F(Packager, TooLongTextIsACommandLineFault) {
    ExpectRefusal(Run({"--title", std::string(32, 'T'), Path("a.lzh")}), 2, "--title");
}

TEST_F(Packager, OutputNamingAnInputIsRefusedAndTheInputKept) {
    std::vector<std::string> words{"mksfx", "-o", Path("a.lzh"), "--module", Path("sfx.exe"), Path("a.lzh")};
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    FILE* sink = std::fopen(Path("stderr.txt").c_str(), "w");
    EXPECT_EQ(mksfx::RunMksfx(static_cast<int>(argv.size()), argv.data(), sink, sink), 1);
    std::fclose(sink);
    EXPECT_EQ(ReadBytes(folder / "a.lzh"), archive);
}

TEST_F(Packager, RefusalLeavesAnExistingOutputAlone) {
    WriteBytes(folder / "out.exe", Bytes{'o', 'l', 'd'});
    WriteBytes(folder / "a.lzh", Bytes(100, 'x'));
    EXPECT_EQ(Run({Path("a.lzh")}), 1);
    EXPECT_EQ(ReadBytes(folder / "out.exe"), (Bytes{'o', 'l', 'd'}));
}

TEST_F(Packager, SettingsTheModuleIgnoresAreWrittenWithANote) {
    ASSERT_EQ(Run({"--remove-after-run", "--variant", "6", Path("a.lzh")}), 0) << messages;
    EXPECT_NE(messages.find("--remove-after-run has no effect"), std::string::npos) << messages;
    EXPECT_NE(messages.find("--variant 6 has no effect"), std::string::npos) << messages;
    const Bytes out = ReadBytes(folder / "out.exe");
    EXPECT_EQ(out[module.size() + 6], '6');
    EXPECT_EQ(Le32(out, module.size() + 404), 1u);
}

}  // namespace
