// Folder tokens, folder trees and the checks on entry names.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "paths/folders.h"
#include "paths/text.h"
#include "module_test_support.h"

namespace {

struct Token {
    std::string output;
    int tempFolderMade;
};

Token Resolve(const std::string& destination, int removeAfterRun = 0,
              const char* archivePath = "C:\\dl\\pack.exe") {
    wchar_t output[MAX_PATH] = L"untouched";
    const int made =
        ResolveFolderToken(output, Wide(destination).c_str(), removeAfterRun != 0, Wide(archivePath).c_str());
    return {Narrow(output), made};
}

std::string WithoutBackslash(std::string folder) {
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

std::string TempPath() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return temp;
}

TEST(ResolveFolderToken, SystemFolders) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_EQ(Resolve("%WinDir%\\Setup").output, WithoutBackslash(windows) + "\\Setup");
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    EXPECT_EQ(Resolve("%SystemDir%").output, WithoutBackslash(system));
    char programs[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_EQ(Resolve("%ProgramFiles%").output, WithoutBackslash(programs));
}

TEST(ResolveFolderToken, ShellFoldersFromTheRegistry) {
    wchar_t desktop[MAX_PATH];
    ASSERT_EQ(ReadShellFolder(HKEY_CURRENT_USER,
                              "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                              desktop, L"Desktop"),
              1);
    EXPECT_EQ(Resolve("%Desktop%\\x").output, WithoutBackslash(Narrow(desktop)) + "\\x");
    EXPECT_NE(Resolve("%MyDocuments%").output, "");
    wchar_t missing[MAX_PATH] = L"stale";
    EXPECT_EQ(ReadShellFolder(HKEY_CURRENT_USER, "Software\\NoSuchKeyForSfxTests", missing, L"x"), 0);
}

TEST(ResolveFolderToken, TemporaryFolder) {
    const Token plain = Resolve("%temp%");
    EXPECT_EQ(plain.output, WithoutBackslash(TempPath()));
    EXPECT_EQ(plain.tempFolderMade, 0);

    const Token own = Resolve("%temp%", 1);
    EXPECT_EQ(own.output, TempPath() + "~pack.exe");
    EXPECT_EQ(own.tempFolderMade, 1);

    const Token below = Resolve("%temp%\\x", 1);
    EXPECT_EQ(below.output, WithoutBackslash(TempPath()) + "\\x");
    EXPECT_EQ(below.tempFolderMade, 0);
}

TEST(ResolveFolderToken, ATemporaryFolderNoCodePageHolds) {
    // U+0915 and U+65E5: no code page holds both; the names stay exact.
    TempFolder folder;
    const std::wstring temp = Wide(folder.path()) + L"\x0915\\";
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
    wchar_t saved[MAX_PATH];
    const DWORD had = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    wchar_t output[MAX_PATH];
    const int made = ResolveFolderToken(output, L"%temp%", true, L"C:\\dl\\\x65E5.exe");
    SetEnvironmentVariableW(L"TMP", had != 0 && had < MAX_PATH ? saved : nullptr);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(std::wstring(output), temp + L"~\x65E5.exe");
}

TEST(ResolveFolderToken, UnknownTokensAndPlainTexts) {
    EXPECT_EQ(Resolve("%Temp%").output, "");  // letter case counts
    EXPECT_EQ(Resolve("%Other%\\data").output, "\\data");
    EXPECT_EQ(Resolve("D:\\Out").output, "D:\\Out");
    EXPECT_EQ(Resolve("%half").output, "%half");
    const Token empty = Resolve("");
    EXPECT_EQ(empty.output, "untouched");
    EXPECT_EQ(empty.tempFolderMade, 0);
}

TEST(ResolveFolderToken, LongResultsAreCut) {
    const Token token = Resolve("%WinDir%\\" + std::string(250, 'x'));
    EXPECT_EQ(token.output.size(), static_cast<size_t>(MAX_PATH - 1));
    // A private folder that would not fit is not made.
    const Token own = Resolve("%temp%", 1, ("C:\\" + std::string(250, 'n')).c_str());
    EXPECT_EQ(own.tempFolderMade, 0);
    EXPECT_LT(own.output.size(), static_cast<size_t>(MAX_PATH));
}

TEST(CreateFolderTree, MakesEveryMissingLevel) {
    TempFolder folder;
    const std::string deep = folder.path() + "a\\b\\c";
    EXPECT_EQ(CreateFolderTree(Wide(deep).c_str()), 1);
    EXPECT_TRUE(FolderExists(deep));
    EXPECT_EQ(CreateFolderTree(Wide(deep + "\\").c_str()), 1);
    // A file where a folder should be cannot be made into one.
    WriteText(folder.path() + "file", "x");
    EXPECT_EQ(CreateFolderTree(Wide(folder.path() + "file").c_str()), 0);
    EXPECT_EQ(CreateFolderTree(Wide(folder.path() + "file\\below").c_str()), 0);
    EXPECT_FALSE(FolderExists(folder.path() + "file"));
}

TEST(CreateFolderTree, NeedsADriveOrUncRoot) {
    TempFolder folder;
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    SetCurrentDirectoryA(folder.path().c_str());
    EXPECT_EQ(CreateFolderTree(L"relative\\path"), 0);
    EXPECT_FALSE(FolderExists(folder.path() + "relative"));
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(CreateFolderTree(L""), 0);
    EXPECT_EQ(CreateFolderTree(L"\\\\server"), 0);
    EXPECT_EQ(CreateFolderTree(L"\\\\server\\share"), 0);
    EXPECT_EQ(CreateFolderTree(Wide("C:" + std::string(300, 'x')).c_str()), 0);
}

class PrepareEntryPathTest : public ::testing::Test {
protected:
    void SetUp() override { ResetModuleState(); }

    EntryPathResult Prepare(const std::string& entry) { return Prepare(Wide(entry)); }
    EntryPathResult Prepare(const std::wstring& entry) {
        std::memset(name_, 0, sizeof name_);
        entry.copy(name_, kEntryNameUnits - 1);
        std::memset(output_, 0, sizeof output_);
        return PrepareEntryPath(Wide(folder_.path()).c_str(), name_, output_);
    }
    std::wstring Output() const { return output_; }
    std::wstring Below(const std::string& name) const { return Wide(folder_.path() + name); }

    // The path code only says so; the worker shows the warning.
    void ExpectRejected(const std::string& entry) {
        EXPECT_EQ(Prepare(entry), kEntryPathRejected) << entry;
        EXPECT_TRUE(ShownMessages().empty()) << entry;
    }

    TempFolder folder_;
    wchar_t name_[kEntryNameUnits];
    wchar_t output_[kPathUnits];
};

TEST_F(PrepareEntryPathTest, FileNamesBelowTheDestination) {
    EXPECT_EQ(Prepare("readme.txt"), kEntryPathFile);
    EXPECT_EQ(Output(), Below("readme.txt"));

    EXPECT_EQ(Prepare("data\\readme.txt   "), kEntryPathFile);
    EXPECT_STREQ(name_, L"data\\readme.txt");
    EXPECT_EQ(Output(), Below("data\\readme.txt"));
    EXPECT_TRUE(FolderExists(folder_.path() + "data"));
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(PrepareEntryPathTest, FolderNamesCreateTheirFolders) {
    EXPECT_EQ(Prepare("dir\\sub\\"), kEntryPathFolder);
    EXPECT_EQ(Output(), Below("dir\\sub\\"));
    EXPECT_TRUE(FolderExists(folder_.path() + "dir\\sub"));
    EXPECT_EQ(Prepare(".\\"), kEntryPathFolder);  // the destination itself
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(PrepareEntryPathTest, InvalidNamesAreRejected) {
    for (const char* name : {"", "   ", "a:b", "a;b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "C:\\x"})
        ExpectRejected(name);
    ExpectRejected("bad;name");
    EXPECT_FALSE(FolderExists(folder_.path() + "bad"));
}

TEST_F(PrepareEntryPathTest, NamesThatLeaveTheDestinationAreRejected) {
    for (const char* name : {"..", "..\\x.txt", "a\\..\\..\\x.txt", "a\\..", "...", "sub\\..\\..\\", "CON"})
        ExpectRejected(name);
    EXPECT_FALSE(FolderExists(folder_.path() + "a"));
    EXPECT_FALSE(FolderExists(folder_.path() + "sub"));
    // Staying inside through ".." is allowed.
    EXPECT_EQ(Prepare("a\\..\\b.txt"), kEntryPathFile);
}

TEST_F(PrepareEntryPathTest, PathsPastMaxPathTakeThePrefix) {
    // Up to 247 units the path stays as it is; from 248 on (the most a
    // folder may have without it) it has the \\?\ prefix.
    const std::wstring base = Below("");
    const std::wstring last(247 - base.size(), L'n');
    EXPECT_EQ(Prepare(last), kEntryPathFile);
    EXPECT_EQ(Output(), base + last);
    EXPECT_EQ(Prepare(last + L"n"), kEntryPathFile);
    EXPECT_EQ(Output(), L"\\\\?\\" + base + last + L"n");
    // Folders deeper than MAX_PATH are made, in any script.
    std::wstring deep;
    for (int level = 0; level < 5; level++) deep += std::wstring(60, static_cast<wchar_t>(L'\u03b1' + level)) + L"\\";
    EXPECT_EQ(Prepare(deep + L"\u8868.txt"), kEntryPathFile);
    EXPECT_EQ(Output(), L"\\\\?\\" + base + deep + L"\u8868.txt");
    EXPECT_TRUE(FolderExists(base + deep));
    // Still inside the destination, checked on the canonical path.
    ExpectRejected(Narrow(L"x\\..\\..\\" + std::wstring(300, L'n')));
}

TEST(PrepareEntryPath, APathBeyondItsBufferIsTooLong) {
    TempFolder folder;
    wchar_t name[kEntryNameUnits] = L"name.txt";
    wchar_t output[kPathUnits];
    const std::wstring destination = Wide(folder.path()) + std::wstring(kPathUnits - 20, L'd') + L"\\";
    EXPECT_EQ(PrepareEntryPath(destination.c_str(), name, output), kEntryPathTooLong);
}

// The entry's UTF-16 name from a header's code-page name and exact names.
std::wstring NameOf(const char* codePageName, const lzh::WideNames* names) {
    lzh::EntryHeader header{};
    std::strcpy(header.name, codePageName);
    static wchar_t name[kEntryNameUnits];
    return EntryNameOf(header, names, name);
}

lzh::WideNames Names(const std::u16string& folder, const std::u16string& file, uint32_t codePage = 932) {
    lzh::WideNames names{};
    folder.copy(names.folder, lzh::kMaxExtendedWideName);
    file.copy(names.file, lzh::kMaxExtendedWideName);
    names.codePage = codePage;
    return names;
}

TEST(EntryNameOf, ExactNamesWinPartByPart) {
    lzh::WideNames both = Names(u"\u30d5\u30a9\u30eb\u30c0\\", u"\u8868\u793a.txt");
    EXPECT_EQ(NameOf("__\\__.txt", &both), L"\u30d5\u30a9\u30eb\u30c0\\\u8868\u793a.txt");
    // A folder text without its last separator still is a folder.
    lzh::WideNames folder = Names(u"\u0395\\\u03bb", u"");
    EXPECT_EQ(NameOf("a\\b\\file.txt", &folder), L"\u0395\\\u03bb\\file.txt");
    lzh::WideNames file = Names(u"", u"\U0001F600.txt");
    EXPECT_EQ(NameOf("dir\\__.txt", &file), L"dir\\\U0001F600.txt");
    EXPECT_EQ(NameOf("__.txt", &file), L"\U0001F600.txt");
    // Separators and ".." in an exact name are made safe as in any other.
    lzh::WideNames climbing = Names(u"", u"..\\../\\x.txt");
    EXPECT_EQ(NameOf("x.txt", &climbing), L"x.txt");
    // Too long together: the converted name stands.
    lzh::WideNames longFile = Names(u"", std::u16string(200, u'f'));
    const std::string longFolder = std::string(400, 'd') + "\\f.txt";
    EXPECT_EQ(NameOf(longFolder.c_str(), &longFile), Wide(longFolder));
}

TEST(EntryNameOf, CodePageNamesConvertWithTheirCodePage) {
    // Without exact names: the system's code page, as before.
    EXPECT_EQ(NameOf("\\dir/sub\\file.txt", nullptr), L"dir\\sub\\file.txt");
    EXPECT_EQ(NameOf("..\\..\\x", nullptr), L"x");
    const char* shiftJis = "\x83\x74\x83\x48\x83\x8b\x83\x5f\\\x95\x5c\x8e\xa6.txt";
    EXPECT_EQ(NameOf(shiftJis, nullptr), Wide(shiftJis));
    // With the code page the header names: 932 on any system, the trail
    // byte 0x5C of a character no separator.
    if (IsValidCodePage(932)) {
        lzh::WideNames named = Names(u"", u"");
        EXPECT_EQ(NameOf(shiftJis, &named), L"\u30d5\u30a9\u30eb\u30c0\\\u8868\u793a.txt");
    }
    // A code page this system does not know: its own.
    lzh::WideNames unknown = Names(u"", u"", 4321);
    EXPECT_EQ(NameOf("caf\xe9.txt", &unknown), Wide("caf\xe9.txt"));
}

TEST(UncPaths, PrefixedFormsAndTheirRoots) {
    wchar_t output[kPathUnits];
    const std::wstring share = L"\\\\server\\share\\" + std::wstring(260, L'x');
    ASSERT_EQ(FileCallPath(share.c_str(), output, kPathUnits), 1);
    EXPECT_EQ(std::wstring(output), L"\\\\?\\UNC\\server\\share\\" + std::wstring(260, L'x'));
    // A path that has its prefix keeps it; one that does not fit is refused.
    ASSERT_EQ(FileCallPath(output, output + 400, 400), 1);
    EXPECT_EQ(std::wstring(output + 400).substr(0, 8), L"\\\\?\\UNC\\");
    EXPECT_EQ(FileCallPath(share.c_str(), output, 200), 0);
    EXPECT_EQ(FileCallPath(L"C:\\short", output, 200, 0), 1);
    EXPECT_EQ(std::wstring(output), L"\\\\?\\C:\\short");
    // No server or no share: no root to make folders below.
    EXPECT_EQ(CreateFolderTree(L"\\\\?\\UNC\\server"), 0);
    EXPECT_EQ(CreateFolderTree(L"\\\\?\\UNC\\\\share\\x"), 0);
    EXPECT_EQ(CreateFolderTree(L"\\\\?\\relative\\x"), 0);
}

TEST_F(PrepareEntryPathTest, UncreatableFolderFailsTheRun) {
    WriteText(folder_.path() + "file", "x");
    EXPECT_EQ(Prepare("file\\inner\\x.txt"), kEntryPathFailed);
    EXPECT_TRUE(ShownMessages().empty());
}

}  // namespace
