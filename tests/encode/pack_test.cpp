// Packing from the file system: names in the target code page, the names
// Windows would refuse, the order of the inputs, times and attributes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "codepage.h"
#include "encode_support.h"
#include "pack.h"

namespace fs = std::filesystem;

namespace {

std::string Converted(const std::string& utf8, int codePage) {
    std::string out, error;
    EXPECT_TRUE(pack::ConvertFromUtf8(utf8, codePage, out, error)) << error;
    return out;
}

std::string Refusal(const std::string& utf8, int codePage) {
    std::string out, error;
    EXPECT_FALSE(pack::ConvertFromUtf8(utf8, codePage, out, error)) << utf8;
    return error;
}

// A fresh folder below the test's temporary folder.
class Tree {
public:
    Tree() : root_(fs::temp_directory_path() / ("lzh-pack-test-" + std::to_string(::getpid()))) {
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    ~Tree() { fs::remove_all(root_); }
    fs::path File(const std::string& name, const std::string& content = "data") const {
        const fs::path p = root_ / fs::u8path(name);
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    fs::path Folder(const std::string& name) const {
        fs::create_directories(root_ / fs::u8path(name));
        return root_ / fs::u8path(name);
    }
    std::string operator/(const std::string& name) const { return (root_ / fs::u8path(name)).string(); }

private:
    fs::path root_;
};

std::vector<std::string> StoredNames(const pack::ArchivePlan& plan) {
    std::vector<std::string> names;
    for (const pack::PlannedEntry& e : plan.entries)
        names.push_back(e.file.name + (e.file.folder ? "/" : ""));
    return names;
}

}  // namespace

TEST(CodePage, ConvertsExactlyOrRefusesNamingTheCharacter) {
    EXPECT_EQ("\x83\x5C\x83\x74\x83\x67/\x95\x5C\x8E\xA6.txt", Converted("ソフト/表示.txt", 932));
    EXPECT_EQ("\xB1\x87\x40", Converted("ｱ①", 932));
    EXPECT_EQ("caf\xE9 \x80", Converted("café €", 1252));
    EXPECT_EQ("plain.txt", Converted("plain.txt", 1252));
    // No look-alikes: these have codes only for other characters.
    EXPECT_NE(std::string::npos, Refusal("a〜b", 932).find("U+301C"));
    EXPECT_NE(std::string::npos, Refusal("¥", 932).find("U+00A5"));
    EXPECT_NE(std::string::npos, Refusal("é", 932).find("U+00E9"));
    EXPECT_NE(std::string::npos, Refusal("日本", 1252).find("U+65E5 '日'"));
    EXPECT_NE(std::string::npos, Refusal("a\xC3", 932).find("UTF-8"));
    EXPECT_NE(std::string::npos, Refusal("\xED\xA0\x80", 1252).find("UTF-8"));  // a surrogate
    EXPECT_NE(std::string::npos, Refusal("a", 437).find("437"));
}

TEST(PackPlan, InputsInAStableOrderWithTheirNames) {
    Tree t;
    t.File("pkg/b.txt");
    t.File("pkg/a/z.txt");
    t.File("pkg/a/y.txt");
    t.File("pkg/.hidden");
    t.Folder("pkg/empty");
    const fs::path readOnly = t.File("pkg/ro.txt");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    t.File("single.txt");

    pack::PackOptions options;
    pack::ArchivePlan plan;
    std::string error;
    ASSERT_TRUE(pack::PlanArchive({t / "pkg", t / "single.txt"}, options, {}, plan, error)) << error;
    // Names as given (without the leading '/'), folders before their contents.
    std::vector<std::string> names = StoredNames(plan);
    const std::string base = (t / "").substr(1);
    for (std::string& n : names) n = n.substr(base.size());
    EXPECT_EQ((std::vector<std::string>{"pkg/", "pkg/.hidden", "pkg/a/", "pkg/a/y.txt", "pkg/a/z.txt",
                                        "pkg/b.txt", "pkg/empty/", "pkg/ro.txt", "single.txt"}),
              names);
    EXPECT_EQ(0x22, plan.entries[1].file.attributes);  // hidden, archive
    EXPECT_EQ(0x21, plan.entries[7].file.attributes);  // read-only, archive
    EXPECT_EQ(0x00, plan.entries[0].file.attributes);

    // "." packs a folder's contents, here named from the folder (-C).
    options.base = t / "pkg";
    EXPECT_FALSE(pack::PlanArchive({".", "./a/../b.txt"}, options, {}, plan, error));
    EXPECT_NE(std::string::npos, error.find(".."));
    EXPECT_FALSE(pack::PlanArchive({"../single.txt"}, options, {}, plan, error));
    ASSERT_TRUE(pack::PlanArchive({"."}, options, {}, plan, error)) << error;
    EXPECT_EQ((std::vector<std::string>{".hidden", "a/", "a/y.txt", "a/z.txt", "b.txt", "empty/", "ro.txt"}),
              StoredNames(plan));
}

TEST(PackPlan, NamesWindowsWouldNotTakeAreRefused) {
    for (const char* name : {"a:b.txt", "semi;colon", "quote\"", "tab\tname", "nul.txt", "COM1", "dot.",
                             "blank ", "back\\slash", "y\xC3\xBF.txt"}) {
        SCOPED_TRACE(name);
        Tree t;
        t.File(std::string("dir/") + name);
        pack::PackOptions options;
        options.codePage = 1252;
        pack::ArchivePlan plan;
        std::string error;
        EXPECT_FALSE(pack::PlanArchive({t / "dir"}, options, {}, plan, error));
        EXPECT_NE(std::string::npos, error.find(name)) << error;
    }
    Tree t;
    t.File("dir/Read.me");
    t.File("dir/read.ME");
    pack::ArchivePlan plan;
    std::string error;
    EXPECT_FALSE(pack::PlanArchive({t / "dir"}, pack::PackOptions{}, {}, plan, error));
    EXPECT_NE(std::string::npos, error.find("only in case")) << error;
    EXPECT_FALSE(pack::PlanArchive({t / "missing"}, pack::PackOptions{}, {}, plan, error));
    // A (sparse) file of 4 GiB: the header's sizes have 32 bits.
    fs::resize_file(t.File("dir2/huge"), uint64_t{1} << 32);
    EXPECT_FALSE(pack::PlanArchive({t / "dir2"}, pack::PackOptions{}, {}, plan, error));
    EXPECT_NE(std::string::npos, error.find("4 GiB")) << error;
}

TEST(PackOptions, ParsedAsTheToolsTakeThem) {
    int64_t t = 0;
    EXPECT_TRUE(pack::ParseTime("1700000000", t));
    EXPECT_EQ(1700000000, t);
    EXPECT_TRUE(pack::ParseTime("2023-11-14T22:13:20Z", t));
    EXPECT_EQ(1700000000, t);
    EXPECT_TRUE(pack::ParseTime("2023-11-14", t));
    EXPECT_EQ(1699920000, t);
    for (const char* bad : {"", "2023-13-01", "2023-11-14T22", "yesterday", "2023-11-14x"})
        EXPECT_FALSE(pack::ParseTime(bad, t)) << bad;

    pack::PackOptions options;
    std::string error;
    const char* argv[] = {"tool",       "--method", "lh5",     "--level",    "1",       "--best",
                          "--codepage", "1252",     "--mtime", "2000-01-01", "-C",      "dir",
                          "--method",   "lh9",      "--level", "3",          "--other", "--mtime"};
    const int argc = 18;
    int i = 1;
    for (; i < 12; i++) ASSERT_EQ(1, pack::ParsePackOption(argc, argv, i, options, error)) << argv[i];
    EXPECT_EQ(fs::path("dir"), options.base);
    EXPECT_EQ(lzh::kLh5, options.encode.method);
    EXPECT_EQ(1, options.encode.headerLevel);
    EXPECT_TRUE(options.encode.best);
    EXPECT_EQ(1252, options.codePage);
    EXPECT_EQ(946684800, options.mtime.value_or(0));
    for (const int at : {12, 14}) {  // lh9, level 3
        i = at;
        EXPECT_EQ(-1, pack::ParsePackOption(argc, argv, i, options, error)) << argv[at];
    }
    i = 16;
    EXPECT_EQ(0, pack::ParsePackOption(argc, argv, i, options, error));
    i = 17;
    EXPECT_EQ(-1, pack::ParsePackOption(argc, argv, i, options, error));  // --mtime without a value
}

// The whole path: files on disk to an archive the reader reads back, with
// Shift-JIS names, fixed times, and the same bytes on a second run.
TEST(PackArchive, WritesWhatWasPlanned) {
    Tree t;
    t.File("ソフト/表示.txt", std::string(20000, 'x'));
    t.File("ソフト/b.bin", "abc");
    setenv("TZ", "UTC", 1);
    pack::PackOptions options;
    options.latest = 1600000000;  // SOURCE_DATE_EPOCH: newer files are set back to it
    options.base = t / "";
    pack::ArchivePlan plan;
    std::string error;
    ASSERT_TRUE(pack::PlanArchive({"ソフト"}, options, {}, plan, error)) << error;

    Bytes archives[2];
    for (Bytes& bytes : archives) {
        FILE* file = std::tmpfile();
        ASSERT_TRUE(pack::WriteArchive(file, plan, options, error)) << error;
        bytes.resize(static_cast<size_t>(std::ftell(file)));
        std::rewind(file);
        ASSERT_EQ(bytes.size(), std::fread(bytes.data(), 1, bytes.size(), file));
        std::fclose(file);
    }
    EXPECT_TRUE(archives[0] == archives[1]);
    const ReadArchive read = ReadBack(archives[0]);
    ASSERT_EQ(3u, read.entries.size());
    EXPECT_STREQ("\x83\x5C\x83\x74\x83\x67\\", read.entries[0].header.name);
    EXPECT_STREQ("\x83\x5C\x83\x74\x83\x67\\b.bin", read.entries[1].header.name);
    EXPECT_STREQ("\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt", read.entries[2].header.name);
    EXPECT_STREQ("-lh7-", read.entries[2].header.method);
    EXPECT_TRUE(read.entries[2].data == Bytes(20000, 'x'));
    for (const ReadEntry& e : read.entries) EXPECT_EQ(1600000000u, e.header.timeStamp);
}
