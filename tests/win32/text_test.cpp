// Path and text helpers, in single-byte and Shift-JIS code pages.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "archive/reporter.h"
#include "paths/text.h"

namespace {

bool ShiftJis(unsigned char c) { return lzh::IsShiftJisLeadByte(c); }

// U+8868 (表) in Shift-JIS: its second byte is 0x5C, the backslash.
const std::string kHyou = "\x95\x5c";

std::string Split(const char* path, std::string* name) {
    char folder[MAX_PATH];
    char file[MAX_PATH];
    SplitPath(path, folder, file);
    *name = file;
    return folder;
}

TEST(SplitPath, FolderWithBackslashAndName) {
    std::string name;
    EXPECT_EQ(Split("C:\\dir\\file.exe", &name), "C:\\dir\\");
    EXPECT_EQ(name, "file.exe");
    EXPECT_EQ(Split("C:\\dir\\", &name), "C:\\dir\\");
    EXPECT_EQ(name, "");
    EXPECT_EQ(Split("file.exe", &name), "");
    EXPECT_EQ(name, "file.exe");
    EXPECT_EQ(Split("", &name), "");
    EXPECT_EQ(name, "");
    // Either output may be left out.
    char only[MAX_PATH];
    SplitPath("a\\b", nullptr, only);
    EXPECT_STREQ(only, "b");
    SplitPath("a\\b", only, nullptr);
    EXPECT_STREQ(only, "a\\");
    SplitPath(nullptr, only, nullptr);
    EXPECT_STREQ(only, "");
}

TEST(AddBackslash, AddsOneUnlessPresentOrEmpty) {
    char text[MAX_PATH] = "C:\\dir";
    EXPECT_EQ(AddBackslash(text, sizeof text), 1);
    EXPECT_STREQ(text, "C:\\dir\\");
    EXPECT_EQ(AddBackslash(text, sizeof text), 1);
    EXPECT_STREQ(text, "C:\\dir\\");
    char empty[4] = "";
    EXPECT_EQ(AddBackslash(empty, sizeof empty), 1);
    EXPECT_STREQ(empty, "");
}

TEST(AddBackslash, NeverWritesPastTheBuffer) {
    char text[8] = "abcdef";  // 6 characters: room for exactly one more
    EXPECT_EQ(AddBackslash(text, 8), 1);
    EXPECT_STREQ(text, "abcdef\\");
    char full[8] = "abcdefg";
    EXPECT_EQ(AddBackslash(full, 8), 0);
    EXPECT_STREQ(full, "abcdefg");
}

TEST(AddBackslash, ShiftJisTrailByteIsNoSeparator) {
    char text[MAX_PATH];
    std::strcpy(text, ("C:\\" + kHyou).c_str());
    EXPECT_EQ(AddBackslash(text, sizeof text, ShiftJis), 1);
    EXPECT_EQ(std::string(text), "C:\\" + kHyou + "\\");
    EXPECT_EQ(AddBackslash(text, sizeof text, ShiftJis), 1);
    EXPECT_EQ(std::string(text), "C:\\" + kHyou + "\\");
}

TEST(IsMidCharacter, WalksDoubleByteCharacters) {
    const std::string text = "a" + kHyou + "b";
    EXPECT_EQ(IsMidCharacter(text.c_str(), 0, ShiftJis), 0);
    EXPECT_EQ(IsMidCharacter(text.c_str(), 1, ShiftJis), 0);
    EXPECT_EQ(IsMidCharacter(text.c_str(), 2, ShiftJis), 1);
    EXPECT_EQ(IsMidCharacter(text.c_str(), 3, ShiftJis), 0);
    // A lead byte at the very end has no second byte.
    EXPECT_EQ(IsMidCharacter("a\x95", 1, ShiftJis), 0);
}

TEST(RemoveBackslash, RemovesOnlyOne) {
    char text[MAX_PATH] = "C:\\dir\\\\";
    RemoveBackslash(text);
    EXPECT_STREQ(text, "C:\\dir\\");
    RemoveBackslash(text);
    EXPECT_STREQ(text, "C:\\dir");
    RemoveBackslash(text);
    EXPECT_STREQ(text, "C:\\dir");
    char empty[2] = "";
    RemoveBackslash(empty);
    EXPECT_STREQ(empty, "");
}

TEST(TrimTrailingSpaces, OnlyBlanksAtTheEnd) {
    char text[32] = " a b  ";
    TrimTrailingSpaces(text);
    EXPECT_STREQ(text, " a b");
    char blanks[8] = "    ";
    TrimTrailingSpaces(blanks);
    EXPECT_STREQ(blanks, "");
    char tab[8] = "a\t";
    TrimTrailingSpaces(tab);
    EXPECT_STREQ(tab, "a\t");
}

TEST(SlashesToBackslashes, EverySlash) {
    char text[32] = "/a/b//c";
    SlashesToBackslashes(text);
    EXPECT_STREQ(text, "\\a\\b\\\\c");
}

TEST(BoundedText, CopyJoinAndFormatStayInTheirBuffers) {
    char small[8];
    EXPECT_EQ(CopyText(small, sizeof small, "1234567"), 1);
    EXPECT_STREQ(small, "1234567");
    EXPECT_EQ(CopyText(small, sizeof small, "123456789"), 0);
    EXPECT_STREQ(small, "1234567");

    CopyTextPart(small, sizeof small, "abcdef", 3);
    EXPECT_STREQ(small, "abc");
    CopyTextPart(small, sizeof small, "ab", 5);
    EXPECT_STREQ(small, "ab");
    CopyTextPart(small, sizeof small, "abcdefghijk", 20);
    EXPECT_STREQ(small, "abcdefg");

    char joined[8] = "old";
    EXPECT_EQ(JoinText(joined, sizeof joined, "abc", "defg"), 1);
    EXPECT_STREQ(joined, "abcdefg");
    EXPECT_EQ(JoinText(joined, sizeof joined, "abc", "defgh"), 0);
    EXPECT_STREQ(joined, "abcdefg");
    char self[8] = "ab";
    EXPECT_EQ(JoinText(self, sizeof self, self, "cd"), 1);
    EXPECT_STREQ(self, "abcd");

    wchar_t message[16];
    FormatWithText(message, 16, L"<%s>", L"name");
    EXPECT_STREQ(message, L"<name>");
    FormatWithText(message, 16, L"<%s>", L"a very long name indeed");
    EXPECT_STREQ(message, L"<a very long n>");
    FormatWithText(message, 16, L"a format that is too long: %s", L"x");
    EXPECT_EQ(std::wcslen(message), 15u);
}

TEST(Conversions, RoundTripAndOverlongTexts) {
    EXPECT_STREQ(ToNarrow(ToWide("C:\\dir\\file")), "C:\\dir\\file");
    EXPECT_EQ(std::wstring(ToWide("abc")), L"abc");
    // Texts that do not fit their scratch buffer convert to the empty text.
    const std::string longText(kWideScratchUnits, 'x');
    EXPECT_STREQ(ToNarrow(ToWide(longText.c_str())), "");
    EXPECT_EQ(std::wstring(ToWide(longText.c_str())), L"");
    const std::wstring wideText(kNarrowScratchBytes, L'y');
    EXPECT_STREQ(ToNarrow(wideText.c_str()), "");
}

// These run with the system code page 932 (LANG=ja_JP.UTF-8 under Wine).
class ShiftJisSystem : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetACP() != 932) GTEST_SKIP() << "needs code page 932 (LANG=ja_JP.UTF-8)";
    }
};

TEST_F(ShiftJisSystem, TrailByteBackslashIsNoSeparator) {
    char text[MAX_PATH];
    std::strcpy(text, ("C:\\" + kHyou).c_str());
    AddBackslash(text, sizeof text);
    EXPECT_EQ(std::string(text), "C:\\" + kHyou + "\\");
    RemoveBackslash(text);
    EXPECT_EQ(std::string(text), "C:\\" + kHyou);
    RemoveBackslash(text);  // the character's own 0x5C stays
    EXPECT_EQ(std::string(text), "C:\\" + kHyou);
}

TEST_F(ShiftJisSystem, SplitPathKeepsDoubleByteNamesWhole) {
    std::string name;
    EXPECT_EQ(Split(("C:\\" + kHyou + "\\" + kHyou + ".txt").c_str(), &name), "C:\\" + kHyou + "\\");
    EXPECT_EQ(name, kHyou + ".txt");
    EXPECT_EQ(Split(("C:\\a\\" + kHyou).c_str(), &name), "C:\\a\\");
    EXPECT_EQ(name, kHyou);
    EXPECT_EQ(std::wstring(ToWide(kHyou.c_str())), L"\x8868");
}

}  // namespace
