// mksfx over files and folders: what the package holds, texts in the code
// page, refusals, --info, branding through the command line, and the
// default module's places.
#include <gtest/gtest.h>

#include <cstring>

#include "config_block.h"
#include "module_path.h"
#include "package_info.h"
#include "base/byte_order.h"
#include "pe/image.h"
#include "pe/pe_format.h"
#include "test_files.h"
#include "test_images.h"

namespace {

namespace fs = std::filesystem;

class Packing : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(folder / "sfx.exe", MakeModule());
        fs::create_directories(folder / "payload" / "docs" / "deep");
        WriteText(folder / "payload" / "readme.txt", std::string(3000, 'r') + "the end\n");
        WriteText(folder / "payload" / "docs" / "b.txt", "bee\n");
        WriteText(folder / "payload" / "docs" / "a.txt", "");
        WriteText(folder / "payload" / "docs" / "deep" / "z.bin", std::string(70000, '\x01'));
    }

    // mksfx -o out.exe --module sfx.exe ARGS...
    MksfxRun Pack(std::vector<std::string> args) {
        args.insert(args.begin(), {"-o", Path("out.exe"), "--module", Path("sfx.exe")});
        return RunTool(args, folder / "");
    }

    std::string Path(const std::string& name) const { return (folder / name).string(); }

    mksfx::SfxConfig Block() const {
        const Bytes out = ReadBytes(folder / "out.exe");
        mksfx::SfxConfig config{};
        std::memcpy(&config, &out[MakeModule().size()], sizeof config);
        return config;
    }

    TempFolder folder;
};

TEST_F(Packing, FoldersArePackedInOrderUnderTheirGivenNames) {
    const MksfxRun run = Pack({"-C", Path("payload"), "readme.txt", "docs", "--crc"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("packed 4 files and 2 folders"), std::string::npos) << run.out;
    const std::vector<Extracted> entries = ExtractPackage(folder / "out.exe");
    const char* names[] = {"readme.txt",  "docs\\",       "docs\\a.txt",
                           "docs\\b.txt", "docs\\deep\\", "docs\\deep\\z.bin"};
    ASSERT_EQ(entries.size(), 6u);
    for (size_t i = 0; i < 6; i++) {
        EXPECT_EQ(entries[i].name, names[i]);
        EXPECT_TRUE(entries[i].crcMatches) << names[i];
    }
    EXPECT_EQ(entries[0].method, "-lh7-");
    EXPECT_EQ(entries[1].method, "-lhd-");
    EXPECT_EQ(entries[5].data, Bytes(70000, 1));
    EXPECT_EQ(entries[0].data, ReadBytes(folder / "payload" / "readme.txt"));

    // "." packs a folder's contents; the same inputs give the same bytes.
    ASSERT_EQ(Pack({"-C", Path("payload"), ".", "--method", "lh5", "--mtime", "2020-01-02"}).status, 0);
    const Bytes first = ReadBytes(folder / "out.exe");
    EXPECT_EQ(ExtractPackage(folder / "out.exe")[0].name, "docs\\");
    EXPECT_EQ(ExtractPackage(folder / "out.exe")[5].method, "-lh5-");
    ASSERT_EQ(Pack({"-C", Path("payload"), ".", "--method", "lh5", "--mtime", "2020-01-02"}).status, 0);
    EXPECT_EQ(ReadBytes(folder / "out.exe"), first);
}

TEST_F(Packing, AnArchiveGivenAloneIsTakenAsItIs) {
    const Bytes archive = MakeArchive("given.txt", "as it is");
    WriteBytes(folder / "payload" / "given.LZH", archive);
    ASSERT_EQ(Pack({"-C", Path("payload"), "given.LZH"}).status, 0);
    const Bytes out = ReadBytes(folder / "out.exe");
    // The archive follows the block as it is, padded for signers.
    const size_t start = out.size() - (archive.size() + 7) / 8 * 8;
    EXPECT_TRUE(std::equal(archive.begin(), archive.end(), out.begin() + static_cast<long>(start)));

    // Packing options cannot change it: said, not refused.
    const MksfxRun run = Pack({"-C", Path("payload"), "given.LZH", "--best", "--method", "lh5"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("note: --method, --level, --best and --mtime apply to files mksfx packs"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(std::equal(archive.begin(), archive.end(),
                           ReadBytes(folder / "out.exe").begin() + static_cast<long>(start)));

    // Beside another file it is one more file to pack.
    ASSERT_EQ(Pack({"-C", Path("payload"), "given.LZH", "readme.txt"}).status, 0);
    const std::vector<Extracted> entries = ExtractPackage(folder / "out.exe");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "given.LZH");
    EXPECT_EQ(entries[0].data, archive);
}

TEST_F(Packing, AModuleThatWouldBeRefusedIsRefusedBeforePacking) {
    // A package as the module: the refusal comes before any file is read,
    // so a missing input is not what is reported.
    Bytes package = MakeModule();
    package.resize(package.size() + 600);
    WriteBytes(folder / "package.exe", package);
    const MksfxRun run =
        RunTool({"-o", Path("out.exe"), "--module", Path("package.exe"), Path("missing.txt")}, folder / "");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("package.exe: the image ends at"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder / "out.exe"));
}

// A folder named with an absolute path, or through "..", is stored under
// its own name; names given relatively stay as given.
TEST_F(Packing, InputsOutsideTheFolderAreStoredUnderTheirOwnName) {
    const auto names = [&] {
        std::vector<std::string> found;
        for (const Extracted& entry : ExtractPackage(folder / "out.exe")) found.push_back(entry.name);
        return found;
    };
    MksfxRun run = Pack({Path("payload/docs")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(names(), (std::vector<std::string>{"docs\\", "docs\\a.txt", "docs\\b.txt", "docs\\deep\\",
                                                 "docs\\deep\\z.bin"}));
    run = Pack({"-C", Path("payload/docs"), "../readme.txt", "deep"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(names(), (std::vector<std::string>{"readme.txt", "deep\\", "deep\\z.bin"}));
    // Two folders of one name: refused, and no package.
    fs::create_directories(folder / "other" / "docs");
    fs::remove(folder / "out.exe");
    run = Pack({Path("payload/docs"), Path("other/docs")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("docs: two inputs would be stored under this name"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder / "out.exe"));
}

TEST_F(Packing, TextsGoIntoTheCodePageAndCountItsBytes) {
    // 15 Japanese characters: 45 bytes of UTF-8, 30 of Shift-JIS.
    const std::string title = "日本語の題名が十五文字あります";
    ASSERT_EQ(
        Pack({"--title", title, "--question", "展開しますか？", "--dest", "%temp%\\表示", Path("payload")})
            .status,
        0);
    const mksfx::SfxConfig c = Block();
    EXPECT_EQ(std::strlen(c.title), 30u);
    EXPECT_STREQ(c.question, "\x93\x57\x8A\x4A\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48");
    EXPECT_STREQ(c.destination, "%temp%\\\x95\x5C\x8E\xA6");

    // One more character is 32 bytes: too long for the field.
    MksfxRun run = Pack({"--title", title + "字", Path("payload")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--title text is 32 bytes long in code page 932"), std::string::npos) << run.err;
    // Western texts in 1252; a character neither code page has is refused.
    ASSERT_EQ(Pack({"--codepage", "1252", "--title", "Café", Path("payload")}).status, 0);
    EXPECT_STREQ(Block().title, "Caf\xE9");
    run = Pack({"--title", "Café", Path("payload")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("U+00E9"), std::string::npos) << run.err;
    run = Pack({"--question", "\xFF", Path("payload")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("UTF-8"), std::string::npos) << run.err;
}

// A name the code page cannot hold is packed under '_' with its exact form
// beside it, and a note; at level 0, which has no room for the exact name,
// it is refused and no package is made.
TEST_F(Packing, NamesOutsideTheCodePage) {
    const fs::path japanese = folder / "payload" / fs::path(u8"日本.txt");
    WriteText(japanese, "x");
    MksfxRun run = Pack({"--codepage", "1252", "--level", "0", "-C", Path("payload"), "."});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("日本.txt: U+65E5 '日' has no code in code page 1252, and header level 0"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(folder / "out.exe"));

    run = Pack({"--codepage", "1252", "-C", Path("payload"), "."});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("mksfx: note: 日本.txt: readers that know only code page 1252 see __.txt"),
              std::string::npos)
        << run.err;
    const std::vector<Extracted> entries = ExtractPackage(folder / "out.exe");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().name, "__.txt");
    EXPECT_EQ(entries.back().data, Bytes{'x'});
}

TEST_F(Packing, NamesThatCannotBeStoredLeaveNoPackage) {
#ifndef _WIN32  // Windows makes no such file
    WriteText(folder / "payload" / "a?b", "x");
    MksfxRun run = Pack({Path("payload")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("a?b"), std::string::npos) << run.err;
    fs::remove(folder / "payload" / "a?b");
#endif
    EXPECT_EQ(Pack({"-C", Path("payload"), "missing"}).status, 1);
    EXPECT_FALSE(fs::exists(folder / "out.exe"));
}

TEST_F(Packing, InfoReadsTheBlockTheChecksAndTheListing) {
    ASSERT_EQ(Pack({"-C", Path("payload"), "docs", "--crc", "--title", "題名", "--question", "Go?", "--run",
                    "setup.exe /q", "--remove-after-run", "--no-confirm", "--variant", "6"})
                  .status,
              0);
    MksfxRun info = RunTool({"--info", Path("out.exe")}, folder / "");
    EXPECT_EQ(info.status, 0) << info.err;
    for (const char* expected :
         {"\"Go?\" (caption \"題名\")", "runs \"setup.exe /q\", waits for it, then deletes", "64-bit only",
          "without asking", ": matches", "switches     /S /T:DIR /L:FILE /C /A:ARGS /? over",
          "signature    none", "5 entries", "docs\\deep\\z.bin"})
        EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;

    // A changed archive byte: the CRC-32 no longer matches.
    Bytes out = ReadBytes(folder / "out.exe");
    out.back() ^= 1;
    WriteBytes(folder / "bad.exe", out);
    info = RunTool({"--info", Path("bad.exe")}, folder / "");
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.out.find("DOES NOT MATCH"), std::string::npos) << info.out;

    // A certificate table behind the archive: signed, and the CRC-32 stops
    // where the table begins.
    out.back() ^= 1;
    const size_t table = out.size();
    out.resize(table + 64, 0xCC);
    pe::Image image;
    std::string error;
    ASSERT_TRUE(pe::ReadImage(out.data(), 4096, image, error)) << error;
    WriteLe32(&out[image.DirectoryOffset(pe::kSecurityDirectory)], static_cast<uint32_t>(table));
    WriteLe32(&out[image.DirectoryOffset(pe::kSecurityDirectory) + 4], 64);
    WriteBytes(folder / "signed.exe", out);
    mksfx::PackageFacts facts;
    ASSERT_TRUE(mksfx::ReadPackageFacts(Path("signed.exe"), 932, facts, error)) << error;
    EXPECT_EQ(facts.certificateSize, 64u);
    EXPECT_EQ(facts.crcEnd, table);
    EXPECT_TRUE(facts.CrcMatches());
    EXPECT_TRUE(facts.Intact());
    // The checksum is the whole signed file's: a signer writes it anew.
    const uint32_t signedSum = pe_test::DwordChecksum(out, image.ChecksumOffset());
    EXPECT_EQ(facts.fileChecksum, signedSum);
    char expected[80];
    std::snprintf(expected, sizeof expected, "does not match (the signed file gives %08X)", signedSum);
    info = RunTool({"--info", Path("signed.exe")}, folder / "");
    EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;
    WriteLe32(&out[image.ChecksumOffset()], signedSum);
    WriteBytes(folder / "signed.exe", out);
    info = RunTool({"--info", Path("signed.exe")}, folder / "");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find(", matches the signed file"), std::string::npos) << info.out;

    // Not a package: a bare module, or no PE image at all.
    info = RunTool({"--info", Path("sfx.exe")}, folder / "");
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.err.find("not a package"), std::string::npos) << info.err;
    info = RunTool({"--info", Path("payload/readme.txt")}, folder / "");
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.err.find("not a PE image"), std::string::npos) << info.err;
}

TEST_F(Packing, InfoOnResourcesWithoutAnyLanguage) {
    // A 1,536-byte file: headers, a resource section whose version and icon
    // names have empty language directories, and a block.  Read as a
    // package without version strings or icon, and without an archive.
    pe::ResourceTree tree;
    tree.Add(pe::kVersionType).entries.push_back(pe_test::Entry(1, u"", {}));
    tree.Add(pe::kIconGroupType).entries.push_back(pe_test::Entry(103, u"", {}));
    Bytes file = pe_test::MakeImage({}, &tree);
    Bytes block(mksfx::kConfigBlockSize);
    mksfx::EncodeConfig(mksfx::DefaultConfig(), block.data());
    file.insert(file.end(), block.begin(), block.end());
    ASSERT_EQ(file.size(), 1536u);
    WriteBytes(folder / "empty.exe", file);

    const MksfxRun info = RunTool({"--info", Path("empty.exe")}, folder / "");
    EXPECT_EQ(info.status, 1);
    EXPECT_TRUE(info.err.empty()) << info.err;
    EXPECT_NE(info.out.find("module       1024 bytes, sections .rsrc"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("archive      NOT FOUND"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("icon "), std::string::npos) << info.out;
    // The image's checksum, not the file's.
    char expected[64];
    std::snprintf(expected, sizeof expected, "does not match (the file gives %08X)",
                  pe_test::DwordChecksum(file, 0x80 + 24 + 64));
    EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;
}

TEST_F(Packing, BrandingThroughTheCommandLine) {
    const Bytes module = RealModule();
    if (module.empty()) GTEST_SKIP() << "SFX_MODULE names no built module";
    WriteBytes(folder / "sfx.exe", module);
    const Bytes icon = IcoFile({BitmapImage(16, 0x44)}, {16});
    WriteBytes(folder / "app.ico", icon);

    const MksfxRun run = Pack({"--icon", Path("app.ico"), "--version", "ProductName=Brand ✓", "--version",
                               "productversion=3.1", "--version", "ProductName=Brand ✔", Path("payload")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("(branded)"), std::string::npos) << run.out;
    const MksfxRun info = RunTool({"--info", Path("out.exe")}, folder / "");
    EXPECT_EQ(info.status, 0) << info.err;
    for (const char* expected : {"ProductName      Brand ✔", "ProductVersion   3.1", "1 images: 16x16 32-bit",
                                 "matches the file", "sections .text .bss .reloc .rsrc"})
        EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;

    WriteText(folder / "app.ico", "not an icon");
    fs::remove(folder / "out.exe");
    const MksfxRun bad = Pack({"--icon", Path("app.ico"), Path("payload")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("app.ico: not an icon file"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(folder / "out.exe"));
}

TEST(DefaultModule, BesideTheProgramThenTheWindowsBuild) {
    using Paths = std::vector<fs::path>;
    EXPECT_EQ(mksfx::DefaultModuleCandidates("/x/build/host/mksfx"),
              (Paths{"/x/build/host/sfx.exe", "/x/build/win32/sfx.exe"}));
    EXPECT_EQ(mksfx::DefaultModuleCandidates("/opt/lzhsfx/mksfx.exe"), (Paths{"/opt/lzhsfx/sfx.exe"}));
    EXPECT_FALSE(mksfx::ProgramPath().empty());
}

}  // namespace
