// Packing from the file system: names in the target code page, the names
// Windows would refuse, the order of the inputs, times and attributes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>

#include "codepage.h"
#include "encode_support.h"
#include "pack.h"
#include "time_text.h"
#include "utf16.h"

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

// A name's code-page form for older readers: '_' for a character the code
// page lacks (or whose code holds 0xFF, the folder separator), each named.
TEST(CodePage, NamesShowWhatTheCodePageLacksAsUnderscores) {
    std::string out, error;
    std::vector<std::string> replaced;
    ASSERT_TRUE(pack::NameToCodePage("Δέλτα/ж 한 😀.txt", 932, out, replaced, error)) << error;
    EXPECT_EQ(Converted("Δ", 932) + "_" + Converted("λτα/ж ", 932) + "_ _.txt", out);
    EXPECT_EQ((std::vector<std::string>{"U+03AD 'έ'", "U+D55C '한'", "U+1F600 '😀'"}), replaced);
    ASSERT_TRUE(pack::NameToCodePage("café ÿ〜", 1252, out, replaced, error)) << error;
    EXPECT_EQ("caf\xE9 __", out);
    EXPECT_EQ((std::vector<std::string>{"U+00FF 'ÿ'", "U+301C '〜'"}), replaced);
    ASSERT_TRUE(pack::NameToCodePage("plain.txt", 932, out, replaced, error));
    EXPECT_TRUE(replaced.empty());
    EXPECT_FALSE(pack::NameToCodePage("a\xC3", 932, out, replaced, error));
    // Texts keep ÿ (0xFF is no separator there).
    EXPECT_EQ("\xFF", Converted("ÿ", 1252));
}

// Stored names back to UTF-8 from any code page the system converts.
TEST(CodePage, StoredTextsToUtf8) {
    const struct {
        std::string bytes;
        int codePage;
        const char* utf8;
    } cases[] = {{"\x83\x5C\x95\x5C", 932, "ソ表"},
                 {"\xE6\xE5", 1251, "же"},
                 {"caf\xE9", 1252, "café"},
                 {"\xB0\xA1", 949, "가"},
                 {"Δ", pack::kUtf8CodePage, "Δ"}};
    for (const auto& c : cases) {
        std::string out;
        EXPECT_TRUE(pack::ConvertToUtf8(c.bytes, c.codePage, out)) << c.codePage;
        EXPECT_EQ(c.utf8, out) << c.codePage;
    }
    std::string out;
    EXPECT_FALSE(pack::ConvertToUtf8("\x83", 932, out));  // a lead byte alone
    EXPECT_FALSE(pack::ConvertToUtf8("\xCE", pack::kUtf8CodePage, out));
    EXPECT_FALSE(pack::ConvertToUtf8("a", 0, out));
}

// Windows compares names unit by unit with simple upper-case mappings.
TEST(CodePage, NamesCompareAsWindowsDoes) {
    EXPECT_EQ(std::u16string(u"ΔΈΛΤΑ Σ Σ ß Ǆ Ж A 1 \U00010428"),
              pack::UpperCaseAsWindows(u"δέλτα σ ς ß ǆ ж a 1 \U00010428"));
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
    options.base = t / "";
    pack::ArchivePlan plan;
    std::string error;
    ASSERT_TRUE(pack::PlanArchive({"pkg", "./single.txt"}, options, {}, plan, error)) << error;
    // Folders before their contents, a folder's entries in byte order.
    EXPECT_EQ((std::vector<std::string>{"pkg/", "pkg/.hidden", "pkg/a/", "pkg/a/y.txt", "pkg/a/z.txt",
                                        "pkg/b.txt", "pkg/empty/", "pkg/ro.txt", "single.txt"}),
              StoredNames(plan));
    EXPECT_EQ(0x22, plan.entries[1].file.attributes);  // hidden, archive
    EXPECT_EQ(0x21, plan.entries[7].file.attributes);  // read-only, archive
    EXPECT_EQ(0x00, plan.entries[0].file.attributes);

    // "." packs a folder's contents, here named from the folder (-C).
    options.base = t / "pkg";
    ASSERT_TRUE(pack::PlanArchive({"."}, options, {}, plan, error)) << error;
    EXPECT_EQ((std::vector<std::string>{".hidden", "a/", "a/y.txt", "a/z.txt", "b.txt", "empty/", "ro.txt"}),
              StoredNames(plan));
}

// Relative inputs keep the names given; an absolute one, or one with "..",
// is stored under its last component, so that nothing above it is stored.
TEST(PackPlan, InputsOutsideTheFolderAreStoredUnderTheirOwnName) {
    Tree t;
    t.File("build/dist/bin/tool.exe");
    t.File("build/dist/readme.txt");
    t.File("data/d.txt");
    t.File("other/dist/x.txt");
    const std::string dist = "dist/", bin = "dist/bin/", tool = "dist/bin/tool.exe", readme = "dist/readme.txt";
    pack::PackOptions options;
    pack::ArchivePlan plan;
    std::string error;
    for (const std::string& input : {t / "build/dist", t / "build/dist/", t / "build/./dist/.",
                                     t / "other/../build/dist"}) {
        ASSERT_TRUE(pack::PlanArchive({input}, options, {}, plan, error)) << input << ": " << error;
        EXPECT_EQ((std::vector<std::string>{dist, bin, tool, readme}), StoredNames(plan)) << input;
    }
    ASSERT_TRUE(pack::PlanArchive({t / "build/dist/bin/tool.exe"}, options, {}, plan, error)) << error;
    EXPECT_EQ((std::vector<std::string>{"tool.exe"}), StoredNames(plan));

    options.base = t / "build";
    ASSERT_TRUE(pack::PlanArchive({"dist/bin", "../data", "dist/../../other/dist/x.txt"}, options, {}, plan,
                                  error))
        << error;
    EXPECT_EQ((std::vector<std::string>{"dist/bin/", "dist/bin/tool.exe", "data/", "data/d.txt", "x.txt"}),
              StoredNames(plan));
    // ".." alone names the folder above by its own name.
    options.base = t / "build/dist";
    ASSERT_TRUE(pack::PlanArchive({".."}, options, {}, plan, error)) << error;
    ASSERT_FALSE(plan.entries.empty());
    EXPECT_EQ("build/", StoredNames(plan)[0]);
    EXPECT_EQ("build/dist/readme.txt", StoredNames(plan).back());

    // Two inputs under one stored name: refused, naming both.
    options.base.clear();
    EXPECT_FALSE(pack::PlanArchive({t / "build/dist", t / "other/dist"}, options, {}, plan, error));
    EXPECT_NE(std::string::npos, error.find("dist: two inputs")) << error;
    EXPECT_NE(std::string::npos, error.find(t / "build/dist")) << error;
    EXPECT_NE(std::string::npos, error.find(t / "other/dist")) << error;
    EXPECT_FALSE(pack::PlanArchive({t / "data", "data"}, {}, {}, plan, error, t / ""));
    EXPECT_NE(std::string::npos, error.find("data: given twice")) << error;
    // A root folder has no name of its own.
    EXPECT_FALSE(pack::PlanArchive({"/"}, options, {}, plan, error));
    EXPECT_NE(std::string::npos, error.find("root folder")) << error;
}

TEST(PackPlan, NamesWindowsWouldNotTakeAreRefused) {
    for (const char* name : {"a:b.txt", "semi;colon", "quote\"", "tab\tname", "nul.txt", "COM1", "dot.",
                             "blank ", "back\\slash"}) {
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

std::string NotesOf(const pack::ArchivePlan& plan) {
    std::string all;
    for (const std::string& note : plan.notes) all += note + "\n";
    return all;
}

// Names in any script: the exact name beside a code-page one with '_' for
// what the code page lacks, a note where older readers see another name
// (once for a folder and its contents); level 0 refuses what it would
// change.
TEST(PackPlan, NamesInAnyScriptKeepTheirExactForm) {
    Tree t;
    t.File("in/Δέλτα/ж.txt");
    t.File("in/Δέλτα/sub/x.txt");
    t.File("in/日本/표시 😀.txt");
    t.File("in/plain.txt");
    pack::PackOptions options;
    options.base = t / "";
    pack::ArchivePlan plan;
    std::string error;
    ASSERT_TRUE(pack::PlanArchive({"in"}, options, {}, plan, error)) << error;
    for (const pack::PlannedEntry& e : plan.entries) {
        SCOPED_TRACE(e.file.name);
        std::string stored;
        std::vector<std::string> replaced;
        ASSERT_TRUE(pack::NameToCodePage(e.file.name, 932, stored, replaced, error));
        EXPECT_EQ(stored, e.storedName);
        std::u16string exact;
        ASSERT_TRUE(pack::Utf8ToUtf16(e.file.name, exact));
        const bool ascii = e.file.name == "in" || e.file.name == "in/plain.txt";
        EXPECT_EQ(ascii ? u"" : exact, e.exactName);
    }
    const std::string notes = NotesOf(plan);
    EXPECT_EQ(2u, plan.notes.size()) << notes;
    EXPECT_NE(std::string::npos,
              notes.find("in/Δέλτα: readers that know only code page 932 see in/Δ_λτα, and so"))
        << notes;
    EXPECT_NE(std::string::npos, notes.find("in/日本/표시 😀.txt: readers that know only code page 932 see "
                                            "in/日本/__ _.txt"))
        << notes;

    options.encode.headerLevel = 0;
    EXPECT_FALSE(pack::PlanArchive({"in"}, options, {}, plan, error));
    EXPECT_NE(std::string::npos, error.find("in/Δέλτα: U+03AD 'έ' has no code in code page 932, and header "
                                            "level 0 has no room for the exact name"))
        << error;
    // What the code page holds needs no exact name at level 0.
    t.File("ja/ソフト/表示.txt");
    ASSERT_TRUE(pack::PlanArchive({"ja"}, options, {}, plan, error)) << error;
    EXPECT_TRUE(plan.entries.back().exactName.empty());
}

TEST(PackPlan, NamesWindowsTakesForOneAreRefusedOthersStayTwo) {
    Tree t;
    t.File("a/Δέλτα.txt");
    t.File("a/δέλτα.txt");
    pack::PackOptions options;
    pack::ArchivePlan plan;
    std::string error;
    EXPECT_FALSE(pack::PlanArchive({t / "a"}, options, {}, plan, error));
    EXPECT_NE(std::string::npos, error.find("only in case")) << error;

    // Both are "_.txt" in code page 1252, and still two entries.
    t.File("b/Д.txt", "1");
    t.File("b/Ж.txt", "2");
    t.File("b/ÿ");
    options.codePage = 1252;
    ASSERT_TRUE(pack::PlanArchive({t / "b"}, options, {}, plan, error)) << error;
    ASSERT_EQ(4u, plan.entries.size());  // b, ÿ, Д.txt, Ж.txt in byte order
    EXPECT_EQ("b/_", plan.entries[1].storedName);
    EXPECT_EQ("b/_.txt", plan.entries[2].storedName);
    EXPECT_EQ("b/_.txt", plan.entries[3].storedName);
    EXPECT_EQ(u"b/Ж.txt", plan.entries[3].exactName);
    EXPECT_EQ(3u, plan.notes.size()) << NotesOf(plan);

    // U+FFFF separates the folders of exact names.
    t.File("c/a\xEF\xBF\xBF");
    EXPECT_FALSE(pack::PlanArchive({t / "c"}, options, {}, plan, error));
    EXPECT_NE(std::string::npos, error.find("U+FFFF")) << error;
}

// Accepted times against the C library's own conversion.
TEST(PackOptions, TimesAreReadAsUtc) {
    const auto utc = [](int y, int mo, int d, int h, int mi, int s) {
        struct tm fields{};
        fields.tm_year = y - 1900;
        fields.tm_mon = mo - 1;
        fields.tm_mday = d;
        fields.tm_hour = h;
        fields.tm_min = mi;
        fields.tm_sec = s;
        return static_cast<int64_t>(timegm(&fields));
    };
    const struct {
        const char* text;
        int64_t expected;
    } cases[] = {
        {"2023-11-14T22:13:20Z", utc(2023, 11, 14, 22, 13, 20)},
        {"2023-11-14T22:13", utc(2023, 11, 14, 22, 13, 0)},
        {"2023-11-14T22:13Z", utc(2023, 11, 14, 22, 13, 0)},
        {"2023-11-14", utc(2023, 11, 14, 0, 0, 0)},
        {"2024-02-29", utc(2024, 2, 29, 0, 0, 0)},
        {"2000-02-29T23:59:59", utc(2000, 2, 29, 23, 59, 59)},
        {"1970-01-01", 0},
        {"2106-02-07T06:28:15", utc(2106, 2, 7, 6, 28, 15)},
        {"1700000000", 1700000000},
        {"0", 0},
        {"4294967295", pack::kLatestTime},
    };
    for (const auto& c : cases) {
        int64_t t = -1;
        std::string why;
        EXPECT_TRUE(pack::ParseTime(c.text, t, why)) << c.text << ": " << why;
        EXPECT_EQ(c.expected, t) << c.text;
    }
    EXPECT_EQ(pack::kLatestTime, utc(2106, 2, 7, 6, 28, 15));
}

// Impossible dates, trailing text and times a header cannot hold are
// refused with the reason, never moved to another day.
TEST(PackOptions, ImpossibleTimesAreRefused) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"2024-02-31", "2024-02 has 29 days, not 31"},
        {"2023-02-29", "2023-02 has 28 days, not 29"},
        {"1900-02-29", "1900-02 has 28 days"},
        {"2024-04-31", "has 30 days"},
        {"2024-01-00", "has 31 days, not 0"},
        {"2024-13-01", "no month 13"},
        {"2024-00-10", "no month 00"},
        {"2024-01-01T24:00", "no hour 24"},
        {"2024-01-01T12:60", "no minute 60"},
        {"2024-01-01T12:00:60", "no second 60"},
        {"2024-01-01x", "after the time: 'x'"},
        {"2024-01-01T12:00junk", "after the time: 'junk'"},
        {"2024-01-01T12:00:00Zz", "after the time: 'z'"},
        {"2024-01-01Z", "after the time: 'Z'"},
        {"2024-01-01T12", "YYYY-MM-DD"},
        {"2024-1-01", "YYYY-MM-DD"},
        {" 2024-01-01", "YYYY-MM-DD"},
        {"1700000000s", "YYYY-MM-DD"},
        {"+1700000000", "YYYY-MM-DD"},
        {"", "YYYY-MM-DD"},
        {"yesterday", "YYYY-MM-DD"},
        {"1969-12-31T23:59:59", "before 1970"},
        {"-1", "before 1970"},
        {"2106-02-07T06:28:16", "after 2106-02-07T06:28:15"},
        {"4294967296", "after 2106-02-07T06:28:15"},
        {"99999999999999999999999999", "after 2106"},
    };
    for (const auto& c : cases) {
        int64_t t = 12345;
        std::string why;
        EXPECT_FALSE(pack::ParseTime(c.text, t, why)) << c.text;
        EXPECT_NE(std::string::npos, why.find(c.reason)) << c.text << ": " << why;
        EXPECT_EQ(12345, t) << c.text;
    }

    // The option's message names it, its value and the reason, on one line.
    pack::PackOptions options;
    std::string error;
    const char* argv[] = {"tool", "--mtime", "2024-02-31"};
    int i = 1;
    EXPECT_EQ(-1, pack::ParsePackOption(3, argv, i, options, error));
    EXPECT_EQ("--mtime 2024-02-31: 2024-02 has 29 days, not 31", error);
    EXPECT_FALSE(options.mtime.has_value());
}

TEST(PackOptions, SourceDateEpochIsSecondsAHeaderHolds) {
    const char* saved = std::getenv("SOURCE_DATE_EPOCH");
    const std::string restore = saved != nullptr ? saved : "";
    for (const char* bad : {"1700000000 ", "17e8", "-5", "4294967296", "2024-01-01"}) {
        setenv("SOURCE_DATE_EPOCH", bad, 1);
        pack::PackOptions options;
        std::string error;
        EXPECT_FALSE(pack::ReadSourceDateEpoch(options, error)) << bad;
        EXPECT_EQ(0u, error.find(std::string("SOURCE_DATE_EPOCH=") + bad + ": ")) << error;
        EXPECT_FALSE(options.latest.has_value()) << bad;
    }
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    pack::PackOptions options;
    std::string error;
    EXPECT_TRUE(pack::ReadSourceDateEpoch(options, error)) << error;
    EXPECT_EQ(1700000000, options.latest.value_or(0));
    setenv("SOURCE_DATE_EPOCH", "", 1);
    options = {};
    EXPECT_TRUE(pack::ReadSourceDateEpoch(options, error));
    EXPECT_FALSE(options.latest.has_value());
    if (saved != nullptr)
        setenv("SOURCE_DATE_EPOCH", restore.c_str(), 1);
    else
        unsetenv("SOURCE_DATE_EPOCH");
}

TEST(PackOptions, ParsedAsTheToolsTakeThem) {
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

TEST(PackOptions, ThreadsFromOneTo64) {
    for (const char* value : {"1", "64", "007"}) {
        const char* argv[] = {"tool", "--threads", value, "-q"};
        pack::PackOptions options;
        std::string error;
        int i = 1;
        ASSERT_EQ(1, pack::ParsePackOption(4, argv, i, options, error)) << value;
        EXPECT_EQ(std::stoul(value), options.threads);
        EXPECT_EQ(std::stoul(value), pack::ThreadCount(options));
        EXPECT_FALSE(options.quiet);
        i = 3;
        ASSERT_EQ(1, pack::ParsePackOption(4, argv, i, options, error));
        EXPECT_TRUE(options.quiet);
    }
    for (const char* value : {"0", "65", "-1", "+2", "2x", "", "99999999999999999999"}) {
        const char* argv[] = {"tool", "--threads", value};
        pack::PackOptions options;
        std::string error;
        int i = 1;
        EXPECT_EQ(-1, pack::ParsePackOption(3, argv, i, options, error)) << value;
        EXPECT_EQ(std::string("--threads ") + value + ": give a number from 1 to 64", error);
    }
    EXPECT_GE(pack::ThreadCount(pack::PackOptions{}), 1u);  // one per processor
}

// Every option of the shared table is parsed under each of its names and
// appears in lzhtool a's help; a new option needs a value here.
TEST(PackOptions, TheTableIsWhatIsParsedAndShown) {
    const std::map<std::string, std::string> values = {
        {"--method", "lh6"}, {"--level", "0"}, {"--codepage", "1252"}, {"--mtime", "2020-01-02"},
        {"--directory", "d"}, {"--threads", "3"}};
    const pack::OptionGroup groups[] = {{nullptr, pack::PackOptionSpecs()}};
    const std::string help = pack::FormatOptionHelp(groups, pack::kToolLzhtoolAdd);
    for (const pack::OptionSpec& spec : pack::PackOptionSpecs()) {
        ASSERT_NE(nullptr, spec.longName);
        EXPECT_TRUE(spec.tools & pack::kToolLzhtoolAdd) << spec.longName;
        EXPECT_NE(std::string::npos, help.find("  " + pack::OptionLabel(spec) + " ")) << spec.longName;
        EXPECT_NE(std::string::npos, help.find(pack::OptionHelp(spec).substr(0, 20))) << spec.longName;
        const auto value = values.find(spec.longName);
        ASSERT_EQ(spec.value != nullptr, value != values.end()) << spec.longName << ": no test value";
        for (const char* name : {spec.shortName, spec.longName}) {
            if (name == nullptr) continue;
            const char* argv[] = {"tool", name, value != values.end() ? value->second.c_str() : "x"};
            int i = 1;
            pack::PackOptions options;
            std::string error;
            EXPECT_EQ(1, pack::ParsePackOption(3, argv, i, options, error)) << name << ": " << error;
            EXPECT_EQ(spec.value != nullptr ? 2 : 1, i) << name;
        }
    }
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

// Names in every script, and folders of them, come back from the reader
// exactly (0x44, 0x45) beside their code-page forms, at levels 1 and 2.
TEST(PackArchive, NamesInAnyScriptComeBackExact) {
    Tree t;
    const std::vector<std::string> files = {"日本語/ソフト 表示.txt", "Ελληνικά/άέήίόύώ ΐ.txt",
                                            "Кириллица/ёж.txt",       "한국어/파일 이름.txt",
                                            "😀/🎉 party.bin",          "plain/a.txt"};
    for (const std::string& name : files) t.File("in/" + name, name);
    for (const int codePage : {932, 1252}) {
        for (int level = 1; level <= 2; level++) {
            SCOPED_TRACE(std::to_string(codePage) + " level " + std::to_string(level));
            pack::PackOptions options;
            options.codePage = codePage;
            options.encode.headerLevel = level;
            options.base = t / "in";
            pack::ArchivePlan plan;
            std::string error;
            ASSERT_TRUE(pack::PlanArchive({"."}, options, {}, plan, error)) << error;
            FILE* file = std::tmpfile();
            ASSERT_TRUE(pack::WriteArchive(file, plan, options, error)) << error;
            Bytes bytes(static_cast<size_t>(std::ftell(file)));
            std::rewind(file);
            ASSERT_EQ(bytes.size(), std::fread(bytes.data(), 1, bytes.size(), file));
            std::fclose(file);

            const ReadArchive read = ReadBack(bytes);
            ASSERT_EQ(plan.entries.size(), read.entries.size());
            for (size_t i = 0; i < read.entries.size(); i++) {
                const pack::PlannedEntry& planned = plan.entries[i];
                const ReadEntry& e = read.entries[i];
                SCOPED_TRACE(planned.file.name);
                const bool folder = planned.file.folder;
                std::string codePageName = planned.storedName + (folder ? "/" : "");
                std::replace(codePageName.begin(), codePageName.end(), '/', '\\');
                EXPECT_EQ(codePageName, e.header.name);
                std::u16string exact = e.wideFolder + e.wideFile;
                std::replace(exact.begin(), exact.end(), u'\\', u'/');
                const bool ascii = planned.file.name.rfind("plain", 0) == 0;
                EXPECT_EQ(ascii ? "" : planned.file.name + (folder ? "/" : ""), pack::Utf16ToUtf8(exact));
                EXPECT_EQ(ascii ? 0u : static_cast<uint32_t>(codePage), e.codePage);
                if (!folder) {
                    EXPECT_EQ(planned.file.name, std::string(e.data.begin(), e.data.end()));
                }
            }
        }
    }
}
