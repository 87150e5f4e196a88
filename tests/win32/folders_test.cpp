// Folder tokens, folder trees and the checks on entry names.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "paths/folders.h"
#include "module_test_support.h"

namespace {

struct Token {
    std::string output;
    int tempFolderMade;
};

Token Resolve(const std::string& destination, int removeAfterRun = 0,
              const char* archivePath = "C:\\dl\\pack.exe") {
    SfxConfig block;
    std::memset(&block, 0, sizeof block);
    lstrcpynA(block.destination, destination.c_str(), sizeof block.destination);
    block.removeAfterRun = removeAfterRun;
    char output[MAX_PATH] = "untouched";
    const int made = ResolveFolderToken(output, block, archivePath);
    return {output, made};
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
    char desktop[MAX_PATH];
    ASSERT_EQ(ReadShellFolder(HKEY_CURRENT_USER,
                              "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                              desktop, "Desktop"),
              1);
    EXPECT_EQ(Resolve("%Desktop%\\x").output, WithoutBackslash(desktop) + "\\x");
    EXPECT_NE(Resolve("%MyDocuments%").output, "");
    char missing[MAX_PATH] = "stale";
    EXPECT_EQ(ReadShellFolder(HKEY_CURRENT_USER, "Software\\NoSuchKeyForSfxTests", missing, "x"), 0);
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
    EXPECT_EQ(CreateFolderTree(deep.c_str()), 1);
    EXPECT_TRUE(FolderExists(deep));
    EXPECT_EQ(CreateFolderTree((deep + "\\").c_str()), 1);
    // A file where a folder should be cannot be made into one.
    WriteText(folder.path() + "file", "x");
    EXPECT_EQ(CreateFolderTree((folder.path() + "file").c_str()), 0);
    EXPECT_EQ(CreateFolderTree((folder.path() + "file\\below").c_str()), 0);
    EXPECT_FALSE(FolderExists(folder.path() + "file"));
}

TEST(CreateFolderTree, NeedsADriveOrUncRoot) {
    TempFolder folder;
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    SetCurrentDirectoryA(folder.path().c_str());
    EXPECT_EQ(CreateFolderTree("relative\\path"), 0);
    EXPECT_FALSE(FolderExists(folder.path() + "relative"));
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(CreateFolderTree(""), 0);
    EXPECT_EQ(CreateFolderTree("\\\\server"), 0);
    EXPECT_EQ(CreateFolderTree("\\\\server\\share"), 0);
    EXPECT_EQ(CreateFolderTree(("C:" + std::string(300, 'x')).c_str()), 0);
}

class PrepareEntryPathTest : public ::testing::Test {
protected:
    void SetUp() override { ResetModuleState(); }

    EntryPathResult Prepare(const std::string& entry) {
        std::memset(name_, 0, sizeof name_);
        std::memcpy(name_, entry.data(), entry.size() < sizeof name_ - 1 ? entry.size() : sizeof name_ - 1);
        std::memset(output_, 0, sizeof output_);
        return PrepareEntryPath(folder_.path().c_str(), name_, output_);
    }

    // The path code only says so; the worker shows the warning.
    void ExpectRejected(const std::string& entry) {
        EXPECT_EQ(Prepare(entry), kEntryPathRejected) << entry;
        EXPECT_TRUE(ShownMessages().empty()) << entry;
    }

    TempFolder folder_;
    char name_[522];
    char output_[MAX_PATH];
};

TEST_F(PrepareEntryPathTest, FileNamesBelowTheDestination) {
    EXPECT_EQ(Prepare("readme.txt"), kEntryPathFile);
    EXPECT_EQ(std::string(output_), folder_.path() + "readme.txt");

    EXPECT_EQ(Prepare("data\\readme.txt   "), kEntryPathFile);
    EXPECT_STREQ(name_, "data\\readme.txt");
    EXPECT_EQ(std::string(output_), folder_.path() + "data\\readme.txt");
    EXPECT_TRUE(FolderExists(folder_.path() + "data"));
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(PrepareEntryPathTest, FolderNamesCreateTheirFolders) {
    EXPECT_EQ(Prepare("dir\\sub\\"), kEntryPathFolder);
    EXPECT_EQ(std::string(output_), folder_.path() + "dir\\sub\\");
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

TEST_F(PrepareEntryPathTest, NamesTooLongForThePathAreRejected) {
    const size_t room = MAX_PATH - 1 - folder_.path().size();
    EXPECT_EQ(Prepare(std::string(room, 'n')), kEntryPathFile);
    EXPECT_EQ(Prepare(std::string(room + 1, 'n')), kEntryPathTooLong);
    EXPECT_EQ(Prepare(std::string(520, 'n')), kEntryPathTooLong);
}

TEST_F(PrepareEntryPathTest, UncreatableFolderFailsTheRun) {
    WriteText(folder_.path() + "file", "x");
    EXPECT_EQ(Prepare("file\\inner\\x.txt"), kEntryPathFailed);
    EXPECT_TRUE(ShownMessages().empty());
}

}  // namespace
