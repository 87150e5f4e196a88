// Path and text helpers, in single-byte and Shift-JIS code pages.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "archive/reporter.h"
#include "paths/text.h"

namespace {

// U+8868 (表) in Shift-JIS: its second byte is 0x5C, the backslash.
const std::string kHyou = "\x95\x5c";

std::wstring Split(const wchar_t* path, std::wstring* name) {
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    SplitPath(path, folder, file);
    *name = file;
    return folder;
}

TEST(SplitPath, FolderWithBackslashAndName) {
    std::wstring name;
    EXPECT_EQ(Split(L"C:\\dir\\file.exe", &name), L"C:\\dir\\");
    EXPECT_EQ(name, L"file.exe");
    EXPECT_EQ(Split(L"C:\\dir\\", &name), L"C:\\dir\\");
    EXPECT_EQ(name, L"");
    EXPECT_EQ(Split(L"file.exe", &name), L"");
    EXPECT_EQ(name, L"file.exe");
    EXPECT_EQ(Split(L"", &name), L"");
    EXPECT_EQ(name, L"");
    // Either output may be left out.
    wchar_t only[MAX_PATH];
    SplitPath(L"a\\b", nullptr, only);
    EXPECT_STREQ(only, L"b");
    SplitPath(L"a\\b", only, nullptr);
    EXPECT_STREQ(only, L"a\\");
    SplitPath(nullptr, only, nullptr);
    EXPECT_STREQ(only, L"");
    // A folder part too long for its buffer stays empty; a name is cut.
    const std::wstring deep = std::wstring(MAX_PATH, L'd') + L"\\" + std::wstring(MAX_PATH + 5, L'n');
    EXPECT_EQ(Split(deep.c_str(), &name), L"");
    EXPECT_EQ(name, std::wstring(MAX_PATH - 1, L'n'));
}

TEST(AddBackslash, AddsOneUnlessPresentOrEmptyAndStaysInItsBuffer) {
    wchar_t text[MAX_PATH] = L"C:\\dir";
    EXPECT_EQ(AddBackslash(text, MAX_PATH), 1);
    EXPECT_STREQ(text, L"C:\\dir\\");
    EXPECT_EQ(AddBackslash(text, MAX_PATH), 1);
    EXPECT_STREQ(text, L"C:\\dir\\");
    wchar_t empty[4] = L"";
    EXPECT_EQ(AddBackslash(empty, 4), 1);
    EXPECT_STREQ(empty, L"");
    wchar_t room[8] = L"abcdef";  // 6 characters: room for exactly one more
    EXPECT_EQ(AddBackslash(room, 8), 1);
    EXPECT_STREQ(room, L"abcdef\\");
    wchar_t full[8] = L"abcdefg";
    EXPECT_EQ(AddBackslash(full, 8), 0);
    EXPECT_STREQ(full, L"abcdefg");
}

TEST(RemoveBackslash, RemovesOnlyOne) {
    wchar_t text[MAX_PATH] = L"C:\\dir\\\\";
    RemoveBackslash(text);
    EXPECT_STREQ(text, L"C:\\dir\\");
    RemoveBackslash(text);
    EXPECT_STREQ(text, L"C:\\dir");
    RemoveBackslash(text);
    EXPECT_STREQ(text, L"C:\\dir");
    wchar_t empty[2] = L"";
    RemoveBackslash(empty);
    EXPECT_STREQ(empty, L"");
}

TEST(TrimTrailingSpaces, OnlyBlanksAtTheEnd) {
    wchar_t text[32] = L" a b  ";
    TrimTrailingSpaces(text);
    EXPECT_STREQ(text, L" a b");
    wchar_t blanks[8] = L"    ";
    TrimTrailingSpaces(blanks);
    EXPECT_STREQ(blanks, L"");
    wchar_t tab[8] = L"a\t";
    TrimTrailingSpaces(tab);
    EXPECT_STREQ(tab, L"a\t");
}

TEST(SlashesToBackslashes, EverySlash) {
    wchar_t text[32] = L"/a/b//c";
    SlashesToBackslashes(text);
    EXPECT_STREQ(text, L"\\a\\b\\\\c");
}

TEST(BoundedText, CopyJoinAndFormatStayInTheirBuffers) {
    wchar_t small[8];
    EXPECT_EQ(CopyText(small, 8, L"1234567"), 1);
    EXPECT_STREQ(small, L"1234567");
    EXPECT_EQ(CopyText(small, 8, L"123456789"), 0);
    EXPECT_STREQ(small, L"1234567");
    EXPECT_EQ(CopyText(small, 0, L"x"), 0);
    EXPECT_STREQ(small, L"1234567");

    wchar_t joined[8] = L"old";
    EXPECT_EQ(JoinText(joined, 8, L"abc", L"defg"), 1);
    EXPECT_STREQ(joined, L"abcdefg");
    EXPECT_EQ(JoinText(joined, 8, L"abc", L"defgh"), 0);
    EXPECT_STREQ(joined, L"abcdefg");
    wchar_t self[8] = L"ab";
    EXPECT_EQ(JoinText(self, 8, self, L"cd"), 1);
    EXPECT_STREQ(self, L"abcd");

    wchar_t message[16];
    FormatWithText(message, 16, L"<%s>", L"name");
    EXPECT_STREQ(message, L"<name>");
    FormatWithText(message, 16, L"<%s>", L"a very long name indeed");
    EXPECT_STREQ(message, L"<a very long n>");
    FormatWithText(message, 16, L"a format that is too long: %s", L"x");
    EXPECT_EQ(std::wcslen(message), 15u);
}

TEST(Conversions, CodePageTextsAndOverlongOnes) {
    EXPECT_EQ(std::wstring(ToWide("C:\\dir\\file")), L"C:\\dir\\file");
    // Texts that do not fit their scratch buffer convert to the empty text.
    const std::string longText(kWideScratchUnits, 'x');
    EXPECT_EQ(std::wstring(ToWide(longText.c_str())), L"");
    EXPECT_EQ(std::wstring(ToWide(longText.substr(1).c_str())).size(), longText.size() - 1);
}

// These run with the system code page 932 (LANG=ja_JP.UTF-8 under Wine).
class ShiftJisSystem : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetACP() != 932) GTEST_SKIP() << "needs code page 932 (LANG=ja_JP.UTF-8)";
    }
};

TEST_F(ShiftJisSystem, TrailByteBackslashIsNoSeparator) {
    // A configured path in the code page becomes one character per name
    // character: its 0x5C second bytes are no separators.
    std::wstring name;
    const std::string path = "C:\\" + kHyou + "\\" + kHyou + ".txt";
    EXPECT_EQ(Split(ToWide(path.c_str()), &name), L"C:\\\x8868\\");
    EXPECT_EQ(name, L"\x8868.txt");
    wchar_t text[MAX_PATH];
    lstrcpyW(text, ToWide(("C:\\" + kHyou).c_str()));
    AddBackslash(text, MAX_PATH);
    RemoveBackslash(text);
    RemoveBackslash(text);
    EXPECT_STREQ(text, L"C:\\\x8868");
}

}  // namespace
