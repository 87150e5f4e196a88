// The run's log: UTF-8 lines appended to the file the deployer named.
#include <gtest/gtest.h>

#include <string>

#include "module_test_support.h"
#include "ui/run_log.h"
#include "ui/ui.h"

namespace {

class RunLogTest : public ::testing::Test {
protected:
    void SetUp() override { ResetModuleState(); }
    void TearDown() override { Close(); }

    void Close() {
        if (g_ui.log != nullptr) CloseHandle(g_ui.log);
        g_ui.log = nullptr;
    }

    std::string Logged() {
        const std::vector<uint8_t> bytes = ReadBytes(path_);
        return std::string(bytes.begin(), bytes.end());
    }

    TempFolder folder_;
    std::string path_ = folder_.path() + "run.log";
};

TEST_F(RunLogTest, LinesInUtf8AppendedAfterOneByteOrderMark) {
    LogLine(kLogMessage, L"no log yet");  // no file is made
    EXPECT_FALSE(FileExists(path_));

    ASSERT_TRUE(OpenRunLog(Wide(path_).c_str()));
    // Names are UTF-16, the block's texts in the ANSI code page; the log
    // holds their UTF-8 form.
    char ansi[8];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, L"\u00e9", -1, ansi, sizeof ansi, nullptr, nullptr), 1);
    LogLine(kLogEntry, L"caf\u00e9 \U0001F600", 4096ul, "OK");
    LogLine(kLogCommand, (std::string("caf") + ansi).c_str());
    LogLine(kLogMessage, L"two\n\nlines");
    Close();
    EXPECT_EQ(Logged(), "\xEF\xBB\xBF" "caf\xC3\xA9 \xF0\x9F\x98\x80: 4096 bytes, OK\r\ncommand: caf\xC3\xA9\r\n"
                        "message: two  lines\r\n");

    // A second run appends, without a second mark.
    ASSERT_TRUE(OpenRunLog(Wide(path_).c_str()));
    LogLine(kLogExit, 3010ul);
    Close();
    const std::string tail = "two  lines\r\nexit code: 3010\r\n";
    EXPECT_EQ(Logged().substr(Logged().size() - tail.size()), tail);
    EXPECT_EQ(Logged().find("\xEF\xBB\xBF", 3), std::string::npos);
}

TEST_F(RunLogTest, LongLinesAreCutNotOverrun) {
    ASSERT_TRUE(OpenRunLog(Wide(path_).c_str()));
    LogLine(kLogCommand, std::string(3000, 'x').c_str());
    Close();
    const std::string logged = Logged();
    // wvsprintfW stops at 1,023 characters, for code-page texts and names.
    EXPECT_EQ(logged, "\xEF\xBB\xBF" "command: " + std::string(1023 - 9, 'x') + "\r\n");
    ASSERT_TRUE(OpenRunLog(Wide(path_).c_str()));
    LogLine(kLogRemoved, std::wstring(3000, L'y').c_str());
    Close();
    EXPECT_EQ(Logged().substr(logged.size()), "removed: " + std::string(1023 - 9, 'y') + "\r\n");
}

TEST_F(RunLogTest, PairsOfSurrogatesAreNeverSplit) {
    ASSERT_TRUE(OpenRunLog(Wide(path_).c_str()));
    // Emoji at every offset against the line's pieces of conversion.
    std::wstring emoji;
    for (int i = 0; i < 300; i++) emoji += L"\U0001F600";
    LogLine(kLogKept, (L"x" + emoji).c_str());
    Close();
    std::string expected = "\xEF\xBB\xBF" "kept: x";
    for (int i = 0; i < 300; i++) expected += "\xF0\x9F\x98\x80";
    EXPECT_EQ(Logged(), expected + "\r\n");
}

TEST_F(RunLogTest, ALogThatCannotBeMadeIsNone) {
    EXPECT_FALSE(OpenRunLog(Wide(folder_.path() + "missing\\run.log").c_str()));
    LogLine(kLogExit, 0ul);
    EXPECT_EQ(g_ui.log, nullptr);
}

}  // namespace
