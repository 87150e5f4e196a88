// The extraction worker over archives built in the test: names, folders,
// checks, time stamps, attributes and existing files.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "archive/header.h"
#include "decode/frame.h"
#include "extract/output.h"
#include "extract/worker.h"
#include "module_test_support.h"
#include "paths/file_times.h"
#include "paths/folders.h"
#include "paths/text.h"
#include "res/resource.h"
#include "test_support.h"
#include "ui/messages.h"

namespace {

// 2023-11-14 12:34:56 as an MS-DOS date and time.
constexpr uint16_t kDosDate = (2023 - 1980) << 9 | 11 << 5 | 14;
constexpr uint16_t kDosTime = 12 << 11 | 34 << 5 | 56 / 2;
constexpr uint32_t kDosStamp = static_cast<uint32_t>(kDosDate) << 16 | kDosTime;
// 2023-11-14 22:13:20 UTC as a Unix time.
constexpr uint32_t kUnixStamp = 1700000000;

struct EntrySpec {
    std::string name;
    std::string content;
    int level = 0;
    uint32_t timeStamp = kDosStamp;
    uint8_t attribute = 0x20;
    std::string method = "-lh0-";
    bool badCrc = false;
    int32_t sizeSkew = 0;  // added to the unpacked size in the header
    std::vector<ExtHeader> exts = {};  // level 2: after the name's
};

// Extended headers of the exact names: 0x44 file, 0x45 folders (each
// followed by 0xFFFF), 0x46 code page.
ExtHeader WideExt(uint8_t type, const std::u16string& text) {
    Bytes bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return {type, bytes};
}
ExtHeader CodePageExt(uint32_t codePage) {
    return {0x46, Bytes{static_cast<uint8_t>(codePage), static_cast<uint8_t>(codePage >> 8),
                        static_cast<uint8_t>(codePage >> 16), static_cast<uint8_t>(codePage >> 24)}};
}

// A stored entry: header and data.
Bytes Entry(const EntrySpec& e) {
    HeaderSpec spec;
    spec.level = e.level;
    spec.method = e.method;
    const Bytes data(e.content.begin(), e.content.end());
    spec.packedSize = static_cast<uint32_t>(data.size());
    spec.unpackedSize = static_cast<uint32_t>(data.size() + e.sizeSkew);
    spec.timeStamp = e.timeStamp;
    spec.attribute = e.attribute;
    spec.crc16 = static_cast<uint16_t>(Crc16Of(data) ^ (e.badCrc ? 0x5555 : 0));
    if (e.level < 2) {
        spec.name = e.name;
    } else {
        std::string name = e.name;
        for (char& c : name)
            if (c == '\\') c = '\xff';
        spec.exts.push_back({0x01, Bytes(name.begin(), name.end())});
        spec.exts.insert(spec.exts.end(), e.exts.begin(), e.exts.end());
    }
    Bytes bytes = BuildHeader(spec);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

Bytes Archive(const std::vector<EntrySpec>& entries) {
    Bytes bytes;
    for (const EntrySpec& e : entries) {
        const Bytes entry = Entry(e);
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    }
    bytes.push_back(0);  // end mark
    return bytes;
}

FILETIME LastWrite(const std::string& path) {
    FILETIME time = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        GetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }
    return time;
}

uint32_t LocalDosStamp(const FILETIME& utc) {
    FILETIME local;
    WORD date = 0, time = 0;
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    return static_cast<uint32_t>(date) << 16 | time;
}

void SetLastWrite(const std::string& path, const FILETIME& time) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

FILETIME FromDos(uint32_t stamp) {
    FILETIME local, utc;
    DosDateTimeToFileTime(static_cast<WORD>(stamp >> 16), static_cast<WORD>(stamp), &local);
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// A string-table entry of the test program (the module's texts), with its
// "%s" or "%u" filled in.
std::string Resource(UINT id) {
    char text[256] = "";
    LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    return text;
}
std::string Named(UINT id, const std::string& name) {
    std::string text = Resource(id);
    const size_t at = text.find("%s");
    return at == std::string::npos ? name + "\n\n" + text : text.replace(at, 2, name);
}
std::string More(unsigned count) {
    char text[256];
    wsprintfA(text, Resource(IDS_MORE_SKIPPED).c_str(), count);
    return std::string("\n\n") + text;
}

std::string Text(const std::string& path) {
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Sets a job up as the run driver does before it starts the worker, with
// the destination out\ in a temporary folder, and runs it on this thread.
class ExtractionWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetModuleState();
        out_ = folder_.path() + "out\\";
        CreateDirectoryA(out_.c_str(), nullptr);
    }

    // Returns the job's failure afterwards (0 or a Win32 error code).
    DWORD Run(const Bytes& archive) {
        const std::string path = folder_.path() + "test.lzh";
        WriteBytes(path, archive);
        FILE* file = std::fopen(path.c_str(), "rb");
        std::unique_ptr<uint8_t, decltype(&std::free)> buffer(
            static_cast<uint8_t*>(std::calloc(lzh::kHeaderWorkSize, 1)), &std::free);
        lzh::HeaderReader reader(file, g_reporter.Make(), IsSystemLeadByte);
        ProgressFileSink sink;
        auto decoder = std::make_unique<lzh::Decoder>(file, sink, abortState_);
        reader.wideNames = wideNames_;
        const std::wstring destination = Wide(out_);
        ExtractionJob job{file,                buffer.get(), &reader, decoder.get(), &sink,
                          destination.c_str(), replace_,     false,   &abortState_,  0};
        ExtractionWorker(&job);
        EXPECT_EQ(sink.file, nullptr);
        std::fclose(file);
        return job.failure;
    }

    std::vector<std::string> Reports() const {
        std::vector<std::string> texts;
        for (const ShownMessage& m : ShownMessages()) texts.push_back(m.text);
        return texts;
    }

    TempFolder folder_;
    std::string out_;
    ReplacePolicy replace_ = ReplacePolicy::kReplaceAll;
    lzh::WideNames* wideNames_ = nullptr;
    std::atomic<int32_t> abortState_{lzh::kAbortNone};
};

TEST_F(ExtractionWorkerTest, NamesBecomePathsBelowTheDestination) {
    EXPECT_EQ(Run(Archive({{"dir/sub/file.txt", "one"},
                           {"\\lead.txt", "two"},
                           {"..\\..\\up.txt", "three"},
                           {"\\../../slash.txt", "four"},
                           {"...\\.\\joined.txt", "five"},
                           {"a..\\b.txt", "six"}})),
              0u);
    EXPECT_EQ(Text(out_ + "dir\\sub\\file.txt"), "one");
    EXPECT_EQ(Text(out_ + "lead.txt"), "two");
    EXPECT_EQ(Text(out_ + "up.txt"), "three");
    EXPECT_EQ(Text(out_ + "slash.txt"), "four");
    EXPECT_EQ(Text(out_ + "joined.txt"), "five");
    EXPECT_EQ(Text(out_ + "ab.txt"), "six");
    for (const char* outside : {"up.txt", "slash.txt", "joined.txt"})
        EXPECT_FALSE(FileExists(folder_.path() + outside)) << outside;
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(ExtractionWorkerTest, RefusedNamesAreSkippedAndTheRunGoesOn) {
    // Paths past MAX_PATH are no fault: they are written through \\?\.
    std::string deep;
    for (char c = 'a'; c < 'e'; c++) deep += std::string(60, c) + "\\";
    deep += "deep.txt";
    EXPECT_EQ(Run(Archive({{"bad;name.txt", "x"}, {deep, "y", 2}, {"..", "z"}, {"ok.txt", "ok"}})),
              static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(Text(out_ + "ok.txt"), "ok");
    EXPECT_TRUE(FileExists(Wide(out_ + deep)));
    // One unowned warning per cause, naming the first entry and counting the
    // others.
    ASSERT_EQ(ShownMessages().size(), 1u);
    const ShownMessage& m = ShownMessages()[0];
    EXPECT_EQ(m.caption, "VID-IDA");
    EXPECT_EQ(m.type, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(m.owner, nullptr);
    EXPECT_EQ(m.text, Named(IDS_INVALID_FILENAME, "bad;name.txt") + More(1));
}

// A level-2 entry with its code-page name and the exact names beside it.
EntrySpec Exact(const std::string& codePageName, const std::u16string& folder, const std::u16string& file,
                const std::string& content) {
    EntrySpec e{codePageName, content, 2};
    if (!folder.empty()) e.exts.push_back(WideExt(0x45, folder + u'\uFFFF'));
    if (!file.empty()) e.exts.push_back(WideExt(0x44, file));
    e.exts.push_back(CodePageExt(932));
    return e;
}

std::string TextOf(const std::wstring& path) {
    std::string text;
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

TEST_F(ExtractionWorkerTest, ExactNamesOfAnyScriptAsStored) {
    lzh::WideNames names;
    wideNames_ = &names;
    // Code-page names as the packer writes them, '_' for what 932 lacks;
    // the last entry names only its code page.
    EXPECT_EQ(Run(Archive({Exact("\x83\x74\x83\x48\x83\x8b\x83\x5f\\\x95\x5c\x8e\xa6.txt", u"\u30d5\u30a9\u30eb\u30c0",
                                 u"\u8868\u793a.txt", "jp"),
                           Exact("________\\____.txt", u"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac",
                                 u"\u03ac\u03bb\u03c6\u03b1.txt", "el"),
                           Exact("__.txt", u"", u"\U0001F600.txt", "emoji"),
                           Exact("old\\_________.txt", u"\ud55c\uad6d\uc5b4", u"", "ko"),
                           Exact("x\\y.txt", u"", u"\u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430.txt", "ru"),
                           {"\x83\x5c\x83\x74\x83\x67.txt", "cp", 2, kDosStamp, 0x20, "-lh0-", false, 0,
                            {CodePageExt(932)}}})),
              0u);
    const std::wstring out = Wide(out_);
    EXPECT_EQ(TextOf(out + L"\u30d5\u30a9\u30eb\u30c0\\\u8868\u793a.txt"), "jp");
    EXPECT_EQ(TextOf(out + L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac\\\u03ac\u03bb\u03c6\u03b1.txt"), "el");
    EXPECT_EQ(TextOf(out + L"\U0001F600.txt"), "emoji");
    // An exact folder with the converted file name, and the other way round.
    EXPECT_EQ(TextOf(out + L"\ud55c\uad6d\uc5b4\\_________.txt"), "ko");
    EXPECT_EQ(TextOf(out + L"x\\\u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430.txt"), "ru");
    if (IsValidCodePage(932)) EXPECT_EQ(TextOf(out + L"\u30bd\u30d5\u30c8.txt"), "cp");
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(ExtractionWorkerTest, ExactNamesAreCheckedAndShownAsStored) {
    lzh::WideNames names;
    wideNames_ = &names;
    EXPECT_EQ(Run(Archive({Exact("_..txt", u"", u"\U0001F600;.txt", "x"),
                           Exact("up.txt", u"", u"..\\..\\\u00e9.txt", "up")})),
              static_cast<DWORD>(ERROR_INVALID_DATA));
    // ".." goes from the exact name as from any other.
    EXPECT_EQ(TextOf(Wide(out_) + L"\u00e9.txt"), "up");
    ASSERT_EQ(ShownMessages().size(), 1u);
    EXPECT_NE(ShownMessages()[0].wideText.find(L"\U0001F600;.txt"), std::wstring::npos);
}

TEST_F(ExtractionWorkerTest, FolderEntries) {
    EXPECT_EQ(Run(Archive({{"docs\\", "", 0, kDosStamp, 0x10, "-lHD-"},
                           {"only\\folders\\", "", 0, kDosStamp, 0x20, "-lh0-"},
                           {"plain", "", 0, kDosStamp, 0x20, "-lhd-"}})),
              0u);
    EXPECT_TRUE(FolderExists(out_ + "docs"));
    EXPECT_EQ(LocalDosStamp(LastWrite(out_ + "docs")), kDosStamp);
    EXPECT_TRUE(FolderExists(out_ + "only\\folders"));
    // A folder method on a name without backslash leaves an empty file.
    EXPECT_TRUE(FileExists(out_ + "plain"));
    EXPECT_TRUE(ReadBytes(out_ + "plain").empty());
}

TEST_F(ExtractionWorkerTest, CrcMismatchDeletesTheFileAndGoesOn) {
    EXPECT_EQ(Run(Archive({{"bad.txt", "content", 0, kDosStamp, 0x20, "-lh0-", true},
                           {"unknown.txt", "data", 0, kDosStamp, 0x20, "-lhx-"},
                           {"good.txt", "fine"}})),
              static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_FALSE(FileExists(out_ + "bad.txt"));
    EXPECT_FALSE(FileExists(out_ + "unknown.txt"));
    EXPECT_EQ(Text(out_ + "good.txt"), "fine");
    ASSERT_EQ(ShownMessages().size(), 1u);
    EXPECT_EQ(ShownMessages()[0].text, "bad.txt\n\nCRC Error!" + More(1));
    EXPECT_EQ(ShownMessages()[0].caption, "VID-IDA");
    EXPECT_EQ(ShownMessages()[0].type, static_cast<UINT>(MB_ICONERROR));
}

// The size in the header counts as much as the CRC-16, as lzhtool t judges it.
TEST_F(ExtractionWorkerTest, AnEntryOfTheWrongSizeIsRefused) {
    EXPECT_EQ(
        Run(Archive({{"long.txt", "content", 0, kDosStamp, 0x20, "-lh0-", false, -2}, {"good.txt", "fine"}})),
        static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_FALSE(FileExists(out_ + "long.txt"));
    EXPECT_EQ(Text(out_ + "good.txt"), "fine");
    ASSERT_EQ(ShownMessages().size(), 1u);
    EXPECT_EQ(ShownMessages()[0].text, "long.txt\n\nWrong size.");
}

TEST_F(ExtractionWorkerTest, UnknownMethodWithZeroCrcLeavesAnEmptyFile) {
    EXPECT_EQ(Run(Archive({{"empty.txt", "", 0, kDosStamp, 0x21, "-lhx-"}})), 0u);
    EXPECT_TRUE(ReadBytes(out_ + "empty.txt").empty());
    EXPECT_TRUE(GetFileAttributesA((out_ + "empty.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(ExtractionWorkerTest, TimeStampsAndAttributes) {
    EXPECT_EQ(Run(Archive({{"dos.txt", "a", 0, kDosStamp, 0x21},
                           {"unix.txt", "b", 2, kUnixStamp, 0x20},
                           {"negative.txt", "c", 2, 0x80000000u, 0x20}})),
              0u);
    EXPECT_EQ(LocalDosStamp(LastWrite(out_ + "dos.txt")), kDosStamp);
    EXPECT_TRUE(GetFileAttributesA((out_ + "dos.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

    SYSTEMTIME utc = {2023, 11, 2, 14, 22, 13, 20, 0};
    FILETIME expected;
    SystemTimeToFileTime(&utc, &expected);
    EXPECT_TRUE(SameTime(LastWrite(out_ + "unix.txt"), expected));

    // A negative Unix time sets no time: the file keeps the time it was written.
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME written = LastWrite(out_ + "negative.txt");
    SYSTEMTIME stamp;
    FileTimeToSystemTime(&written, &stamp);
    EXPECT_EQ(stamp.wYear, now.wYear);
}

TEST_F(ExtractionWorkerTest, ReplacesReadOnlyFilesWithoutAsking) {
    WriteText(out_ + "old.txt", "previous");
    SetFileAttributesA((out_ + "old.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Run(Archive({{"old.txt", "new", 0, kDosStamp, 0x21}})), 0u);
    EXPECT_EQ(Text(out_ + "old.txt"), "new");
    EXPECT_TRUE(GetFileAttributesA((out_ + "old.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(ExtractionWorkerTest, FileThatCannotBeCreatedIsSkipped) {
    CreateDirectoryA((out_ + "taken").c_str(), nullptr);
    EXPECT_EQ(Run(Archive({{"taken", "x"}, {"next.txt", "y"}})), static_cast<DWORD>(ERROR_WRITE_FAULT));
    EXPECT_TRUE(FolderExists(out_ + "taken"));
    EXPECT_EQ(Text(out_ + "next.txt"), "y");
    ASSERT_EQ(ShownMessages().size(), 1u);
    EXPECT_EQ(ShownMessages()[0].text, Named(IDS_CANNOT_CREATE_FILE, "taken"));
    EXPECT_EQ(ShownMessages()[0].type, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(ExtractionWorkerTest, FilesBeingWrittenHaveOneWriter) {
    // Ours may be read meanwhile, but not written by anyone else.
    const std::string path = out_ + "ours.txt";
    HANDLE ours = CreateOutputFile(Wide(path).c_str(), CREATE_NEW);
    ASSERT_NE(ours, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateOutputFile(Wide(path).c_str(), CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    CloseHandle(ours);

    // A file another program is writing is not replaced under it.
    const std::string busy = out_ + "busy.txt";
    HANDLE other =
        CreateFileA(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Run(Archive({{"busy.txt", "new"}, {"next.txt", "y"}})), static_cast<DWORD>(ERROR_WRITE_FAULT));
    CloseHandle(other);
    EXPECT_EQ(Text(busy), "");
    EXPECT_EQ(Text(out_ + "next.txt"), "y");
}

TEST_F(ExtractionWorkerTest, NewerOnlyComparesDosTimes) {
    replace_ = ReplacePolicy::kNewerOnly;
    WriteText(out_ + "same.txt", "kept");
    SetLastWrite(out_ + "same.txt", FromDos(kDosStamp));
    WriteText(out_ + "older.txt", "old");
    SetLastWrite(out_ + "older.txt", FromDos(kDosStamp - 1));  // two seconds earlier
    EXPECT_EQ(Run(Archive({{"same.txt", "new"}, {"older.txt", "new"}, {"fresh.txt", "new"}})), 0u);
    EXPECT_EQ(Text(out_ + "same.txt"), "kept");
    EXPECT_EQ(Text(out_ + "older.txt"), "new");
    EXPECT_EQ(Text(out_ + "fresh.txt"), "new");
}

TEST_F(ExtractionWorkerTest, AbortStopsBeforeTheNextEntry) {
    abortState_.store(lzh::kAbortCancelled);
    EXPECT_EQ(Run(Archive({{"a.txt", "a"}})), 0u);
    EXPECT_FALSE(FileExists(out_ + "a.txt"));
}

TEST_F(ExtractionWorkerTest, FolderThatCannotBeMadeEndsTheRun) {
    WriteText(out_ + "file", "x");
    EXPECT_EQ(Run(Archive({{"file\\inner.txt", "a"}, {"after.txt", "b"}})),
              static_cast<DWORD>(ERROR_CANNOT_MAKE));
    EXPECT_EQ(abortState_.load(), lzh::kAbortFailed);
    ASSERT_EQ(ShownMessages().size(), 1u);
    EXPECT_EQ(ShownMessages()[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(FileExists(out_ + "after.txt"));
}

TEST_F(ExtractionWorkerTest, AnArchiveCutShortIsReportedOnce) {
    EXPECT_EQ(Run(Bytes{0}), 0u);  // nothing but the end mark
    EXPECT_TRUE(ShownMessages().empty());

    const std::string damaged = Resource(IDS_ARCHIVE_DAMAGED);
    ASSERT_FALSE(damaged.empty());
    Bytes whole = Archive({{"a.txt", "a"}, {"b.txt", "bbbb"}});
    const std::vector<Bytes> cuts = {
        Bytes(whole.begin(), whole.end() - 1),                                    // no end mark
        Bytes(whole.begin(), whole.begin() + Entry({"a.txt", "a"}).size() + 10),  // inside a header
        {},                                                                       // nothing at all
    };
    for (const Bytes& cut : cuts) {
        ClearMessages();
        EXPECT_EQ(Run(cut), static_cast<DWORD>(ERROR_INVALID_DATA)) << cut.size();
        ASSERT_EQ(ShownMessages().size(), 1u) << cut.size();
        EXPECT_EQ(ShownMessages()[0].text, damaged);
    }
    EXPECT_EQ(Text(out_ + "a.txt"), "a");
}

// Names in Shift-JIS whose second bytes are 0x5C, with the system code page
// 932 (LANG=ja_JP.UTF-8 under Wine).
class ExtractionWorkerShiftJis : public ExtractionWorkerTest {
protected:
    void SetUp() override {
        if (GetACP() != 932) GTEST_SKIP() << "needs code page 932 (LANG=ja_JP.UTF-8)";
        ExtractionWorkerTest::SetUp();
    }
};

TEST_F(ExtractionWorkerShiftJis, TrailByteBackslashIsNoSeparator) {
    const std::string hyou = "\x95\x5c";  // U+8868
    const std::string so = "\x83\x5c";    // U+30BD
    EXPECT_EQ(Run(Archive({{hyou + "\\" + so + ".txt", "sjis"}, {so, "last"}})), 0u);
    EXPECT_EQ(Text(out_ + hyou + "\\" + so + ".txt"), "sjis");
    EXPECT_EQ(Text(out_ + so), "last");
    const std::wstring folder = std::wstring(ToWide(out_.c_str())) + L"\x8868";
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(ShownMessages().empty());
}

TEST(StripParentRefs, RemovesEveryParentReference) {
    wchar_t text[64] = L"..\\..\\a\\..\\b";
    StripParentRefs(text);
    EXPECT_STREQ(text, L"a\\b");
    wchar_t middle[16] = L"a..\\b";
    StripParentRefs(middle);
    EXPECT_STREQ(middle, L"ab");
    wchar_t trailing[16] = L"a\\..";
    StripParentRefs(trailing);
    EXPECT_STREQ(trailing, L"a\\..");
    // Removing one can join the pieces of another.
    wchar_t joined[16] = L"...\\.\\x";
    StripParentRefs(joined);
    EXPECT_STREQ(joined, L"x");
    wchar_t none[16] = L"plain\\name";
    StripParentRefs(none);
    EXPECT_STREQ(none, L"plain\\name");
}

TEST(EntryTimes, UnixAndDosForms) {
    FILETIME time;
    ASSERT_TRUE(UnixTimeToFileTime(0, &time));
    SYSTEMTIME epoch = {1970, 1, 4, 1, 0, 0, 0, 0};
    FILETIME expected;
    SystemTimeToFileTime(&epoch, &expected);
    EXPECT_TRUE(SameTime(time, expected));
    EXPECT_FALSE(UnixTimeToFileTime(0x80000000u, &time));
    EXPECT_FALSE(UnixTimeToFileTime(0xFFFFFFFFu, &time));
    ASSERT_TRUE(UnixTimeToFileTime(0x7FFFFFFFu, &time));  // 2038-01-19 03:14:07
    SYSTEMTIME last;
    FileTimeToSystemTime(&time, &last);
    EXPECT_EQ(last.wYear, 2038);
    EXPECT_EQ(last.wSecond, 7);

    EXPECT_EQ(EntryDosTime(0, kDosStamp), kDosStamp);
    EXPECT_EQ(EntryDosTime(1, 0x12345678u), 0x12345678u);
    ASSERT_TRUE(UnixTimeToFileTime(kUnixStamp, &time));
    EXPECT_EQ(EntryDosTime(2, kUnixStamp), LocalDosStamp(time));
    EXPECT_EQ(EntryDosTime(2, 0x80000001u), 0x80000001u);  // no time: the raw value stands
}

}  // namespace
