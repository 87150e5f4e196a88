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
    LogLine(kLogMessage, "no log yet");  // no file is made
    EXPECT_FALSE(FileExists(path_));

    ASSERT_TRUE(OpenRunLog(path_.c_str()));
    // The texts are in the ANSI code page; the log holds their UTF-8 form.
    char ansi[8];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, L"\u00e9", -1, ansi, sizeof ansi, nullptr, nullptr), 1);
    LogLine(kLogEntry, (std::string("caf") + ansi).c_str(), 4096ul, "OK");
    LogLine(kLogMessage, "two\n\nlines");
    Close();
    EXPECT_EQ(Logged(), "\xEF\xBB\xBF" "caf\xC3\xA9: 4096 bytes, OK\r\nmessage: two  lines\r\n");

    // A second run appends, without a second mark.
    ASSERT_TRUE(OpenRunLog(path_.c_str()));
    LogLine(kLogExit, 3010ul);
    Close();
    const std::string tail = "two  lines\r\nexit code: 3010\r\n";
    EXPECT_EQ(Logged().substr(Logged().size() - tail.size()), tail);
    EXPECT_EQ(Logged().find("\xEF\xBB\xBF", 3), std::string::npos);
}

TEST_F(RunLogTest, LongLinesAreCutNotOverrun) {
    ASSERT_TRUE(OpenRunLog(path_.c_str()));
    LogLine(kLogPackage, std::string(3000, 'x').c_str());
    Close();
    const std::string logged = Logged();
    // wvsprintfA stops at 1,023 characters.
    EXPECT_EQ(logged, "\xEF\xBB\xBF" "package: " + std::string(1023 - 9, 'x') + "\r\n");
}

TEST_F(RunLogTest, ALogThatCannotBeMadeIsNone) {
    EXPECT_FALSE(OpenRunLog((folder_.path() + "missing\\run.log").c_str()));
    LogLine(kLogExit, 0ul);
    EXPECT_EQ(g_ui.log, nullptr);
}

}  // namespace
