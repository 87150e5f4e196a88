// Destination texts resolved against the archive's folder C:\pkg\sub\.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/destination.h"
#include "app/run_archive.h"
#include "module_test_support.h"

namespace {

constexpr char kArchiveFolder[] = "C:\\pkg\\sub\\";

struct Resolved {
    int accepted;
    std::string destination;
};

Resolved Resolve(const std::string& text, const char* archiveFolder = kArchiveFolder) {
    wchar_t destination[MAX_PATH];
    lstrcpynW(destination, Wide(text).c_str(), MAX_PATH);
    const int accepted = ResolveDestination(destination, Wide(archiveFolder).c_str());
    return {accepted, Narrow(destination)};
}

void ExpectAccepted(const std::string& text, const std::string& expected) {
    const Resolved r = Resolve(text);
    EXPECT_EQ(r.accepted, 1) << text;
    EXPECT_EQ(r.destination, expected) << text;
}

void ExpectRefused(const std::string& text) {
    const Resolved r = Resolve(text);
    EXPECT_EQ(r.accepted, 0) << text;
    EXPECT_EQ(r.destination, kArchiveFolder) << text;
}

TEST(ResolveDestination, DrivePathsStayWithATrailingBackslash) {
    ExpectAccepted("D:", "D:\\");
    ExpectAccepted("D:/out/x", "D:\\out\\x\\");
    ExpectAccepted("D:\\out\\", "D:\\out\\");
    ExpectAccepted("\\\\server\\share\\x", "\\\\server\\share\\x\\");
}

TEST(ResolveDestination, RelativeFormsLandNextToTheArchive) {
    ExpectAccepted("x", "C:\\pkg\\sub\\x\\");
    ExpectAccepted(".\\x", "C:\\pkg\\sub\\x\\");
    ExpectAccepted("\\x", "C:\\pkg\\sub\\x\\");
    ExpectAccepted("", "C:\\pkg\\sub\\");
    ExpectAccepted("x   ", "C:\\pkg\\sub\\x\\");
    ExpectAccepted("x\\y", "C:\\pkg\\sub\\x\\y\\");
    ExpectAccepted("x/y\\", "C:\\pkg\\sub\\x\\y\\");
}

TEST(ResolveDestination, ParentReferencesClimbFromTheArchiveFolder) {
    ExpectAccepted("..\\x", "C:\\pkg\\x\\");
    ExpectAccepted("..\\..\\x", "C:\\x\\");
    ExpectAccepted("../x", "C:\\pkg\\x\\");
    // Every "..\" counts; only the text after the last one stays.
    ExpectAccepted("..\\a\\..\\b", "C:\\b\\");
    ExpectRefused("..\\..\\..\\x");
}

TEST(ResolveDestination, ForbiddenCharactersAreRefused) {
    for (const char* text : {"D:\\a?b", "D:\\a*b", "a;b", "a\"b", "a<b", "a>b", "a|b"}) ExpectRefused(text);
    // A refused text leaves the archive folder, which is then accepted.
    const Resolved again = Resolve(Resolve("D:\\a?b").destination);
    EXPECT_EQ(again.accepted, 1);
    EXPECT_EQ(again.destination, kArchiveFolder);
    // The archive folder itself is never changed.
    ExpectAccepted("..\\x", "C:\\pkg\\x\\");
}

TEST(ResolveDestination, ResultsThatDoNotFitAreRefused) {
    ExpectRefused(std::string(MAX_PATH - 1, 'x'));  // the archive folder in front is too much
    const std::string deep = "D:\\" + std::string(MAX_PATH - 4, 'y');
    // 259 characters fit; the trailing backslash would not.
    ExpectRefused(deep);
    ExpectAccepted(deep.substr(0, MAX_PATH - 2), deep.substr(0, MAX_PATH - 2) + "\\");
}

TEST(ResolveDestination, RelativeArchivePathGivesRelativeForms) {
    const Resolved r = Resolve("x", "");
    EXPECT_EQ(r.accepted, 1);
    EXPECT_EQ(r.destination, "x\\");
    EXPECT_EQ(Resolve("..\\x", "").accepted, 0);
}

TEST(ResolveDestination, NamesInAnyScriptStayExact) {
    // U+0915 U+093F and U+65E5: no code page holds all three.
    wchar_t destination[MAX_PATH] = L"..\\\x0915\x093F";
    EXPECT_EQ(ResolveDestination(destination, L"C:\\pkg\\\x65E5\\"), 1);
    EXPECT_STREQ(destination, L"C:\\pkg\\\x0915\x093F\\");
    lstrcpyW(destination, L"\x65E5");
    EXPECT_EQ(ResolveDestination(destination, L"D:\\\x0915\\"), 1);
    EXPECT_STREQ(destination, L"D:\\\x0915\\\x65E5\\");
}

std::string ArchiveName(const char* fileName) {
    wchar_t name[MAX_PATH];
    ArchiveNameOf(Wide(fileName).c_str(), name);
    return Narrow(name);
}

TEST(ArchiveNameOf, FileNameWithoutExtensionAndTrailingBlanks) {
    EXPECT_EQ(ArchiveName("setup.exe"), "setup");
    EXPECT_EQ(ArchiveName("my pack.tar.lzh"), "my pack.tar");
    EXPECT_EQ(ArchiveName("spaced .exe"), "spaced");
    EXPECT_EQ(ArchiveName("plain"), "plain");
    EXPECT_EQ(ArchiveName(""), "");
}

}  // namespace
