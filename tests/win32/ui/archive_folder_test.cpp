// The check box of dialog 102 that adds or removes the archive-name folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/archive_folder.h"

namespace {

std::string Apply(std::string text, const char* name, bool checked) {
    char buffer[MAX_PATH];
    strcpy(buffer, text.c_str());
    ApplyArchiveFolder(buffer, sizeof buffer, name, checked);
    return buffer;
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
        char text[MAX_PATH];
        char guard[16];
    } buffer;
    memset(&buffer, '#', sizeof buffer);
    std::string folder = "C:\\" + std::string(250, 'd');
    strcpy(buffer.text, folder.c_str());
    ApplyArchiveFolder(buffer.text, sizeof buffer.text, "archive-name", true);
    EXPECT_EQ(std::string(buffer.text), folder + "\\");
    EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(16, '#'));

    // Exactly full: 259 characters and the terminator.
    folder = "C:\\" + std::string(249, 'd');
    strcpy(buffer.text, folder.c_str());
    ApplyArchiveFolder(buffer.text, sizeof buffer.text, "abcdef", true);
    EXPECT_EQ(std::string(buffer.text), folder + "\\abcdef");  // no room for the last backslash
    EXPECT_EQ(strlen(buffer.text), 259u);
    EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(16, '#'));
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
