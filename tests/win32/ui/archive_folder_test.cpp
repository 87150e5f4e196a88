// The check box of dialog 102 that adds or removes the archive-name folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "ui/archive_folder.h"

namespace {

// The edit goes through the texts' UTF-16 form, as the dialog holds them.
std::wstring Wide(const std::string& text) {
    wchar_t wide[2 * MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 2 * MAX_PATH);
    return wide;
}

std::string Narrow(const wchar_t* text) {
    char narrow[2 * MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

std::string Apply(std::string text, const char* name, bool checked) {
    wchar_t buffer[MAX_PATH];
    lstrcpynW(buffer, Wide(text).c_str(), MAX_PATH);
    ApplyArchiveFolder(buffer, MAX_PATH, Wide(name).c_str(), checked);
    return Narrow(buffer);
}

}  // namespace

TEST(ArchiveFolder, CheckingAppendsTheNameAndUncheckingRemovesIt) {
    const std::string checked = Apply("C:\\Temp", "setup", true);
    EXPECT_EQ(checked, "C:\\Temp\\setup\\");
    EXPECT_EQ(Apply(checked, "setup", false), "C:\\Temp\\");
}

TEST(ArchiveFolder, TwoRoundTripsGiveTheStartWithATrailingBackslash) {
    std::string text = "D:\\Program Files\\Tool";
    for (int i = 0; i < 2; ++i) {
        text = Apply(text, "tool-1.2", true);
        text = Apply(text, "tool-1.2", false);
    }
    EXPECT_EQ(text, "D:\\Program Files\\Tool\\");
}

TEST(ArchiveFolder, UncheckingCutsOnlyWhenNoBackslashFollowsTheName) {
    EXPECT_EQ(Apply("C:\\setup\\data", "setup", false), "C:\\setup\\data\\");
    EXPECT_EQ(Apply("C:\\mysetup", "setup", false), "C:\\my\\");
    EXPECT_EQ(Apply("C:\\other", "setup", false), "C:\\other\\");
    // The first occurrence decides, even when a later one is last.
    EXPECT_EQ(Apply("C:\\setup\\setup", "setup", false), "C:\\setup\\setup\\");
}

TEST(ArchiveFolder, AnEmptyEditFieldStaysEmptyOrGetsTheNameAlone) {
    EXPECT_EQ(Apply("", "setup", true), "setup\\");
    EXPECT_EQ(Apply("", "setup", false), "");
}

TEST(ArchiveFolder, AnEmptyArchiveNameNeverCutsTheText) {
    EXPECT_EQ(Apply("C:\\Temp", "", false), "C:\\Temp\\");
    EXPECT_EQ(Apply("data", "", false), "data\\");
    EXPECT_EQ(Apply("C:\\Temp", "", true), "C:\\Temp\\");
}

TEST(ArchiveFolder, ANameThatDoesNotFitIsNotAppendedAndNothingIsOverrun) {
    struct {
        wchar_t text[MAX_PATH];
        wchar_t guard[16];
    } buffer;
    wmemset(buffer.text, L'#', MAX_PATH + 16);
    std::wstring folder = L"C:\\" + std::wstring(250, L'd');
    lstrcpyW(buffer.text, folder.c_str());
    ApplyArchiveFolder(buffer.text, MAX_PATH, L"archive-name", true);
    EXPECT_EQ(std::wstring(buffer.text), folder + L"\\");
    EXPECT_EQ(std::wstring(buffer.guard, 16), std::wstring(16, L'#'));

    // Exactly full: 259 characters and the terminator.
    folder = L"C:\\" + std::wstring(249, L'd');
    lstrcpyW(buffer.text, folder.c_str());
    ApplyArchiveFolder(buffer.text, MAX_PATH, L"abcdef", true);
    EXPECT_EQ(std::wstring(buffer.text), folder + L"\\abcdef");  // no room for the last backslash
    EXPECT_EQ(std::wstring(buffer.guard, 16), std::wstring(16, L'#'));
}

// Shift-JIS: 0x5C is also the trail byte of characters such as 0x95 0x5C,
// and an ASCII letter can be a trail byte too.
TEST(ArchiveFolder, ShiftJisTrailBytesAreNeitherSeparatorsNorMatches) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the Shift-JIS code page (LANG=ja_JP.UTF-8)";
    // "C:\setup" followed by 0x95 0x5C: no real backslash follows the name.
    EXPECT_EQ(Apply("C:\\setup\x95\x5C", "setup", false), "C:\\");
    // "A" appears only as the trail byte of 0x81 0x41: no match, no cut.
    EXPECT_EQ(Apply("C:\\x\x81\x41", "A", false), "C:\\x\x81\x41\\");
    // The name ends with 0x95 0x5C: checking keeps it and adds a separator.
    EXPECT_EQ(Apply("C:\\Temp", "\x95\x5C", true), "C:\\Temp\\\x95\x5C\\");
}
