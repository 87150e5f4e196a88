// The process's command line: the tail after the program name, the switches
// and the archive path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/state.h"
#include "module_test_support.h"

namespace {

TEST(CommandLineTail, SkipsTheProgramNameAndTheBlanksAfterIt) {
    EXPECT_STREQ(CommandLineTail(L"sfx.exe /O"), L"/O");
    EXPECT_STREQ(CommandLineTail(L"\"C:\\Program Files\\sfx.exe\"  pack.lzh"), L"pack.lzh");
    EXPECT_STREQ(CommandLineTail(L"\"C:\\a b\\sfx.exe\"pack.lzh"), L"pack.lzh");
    EXPECT_STREQ(CommandLineTail(L"sfx.exe\t\x01 x"), L"x");
    EXPECT_STREQ(CommandLineTail(L"sfx.exe"), L"");
    EXPECT_STREQ(CommandLineTail(L""), L"");
    // A name with characters beyond ASCII is one word.
    EXPECT_STREQ(CommandLineTail(L"\x8868\x3000.exe /N"), L"/N");
    // An unterminated quotation mark takes the whole line.
    EXPECT_STREQ(CommandLineTail(L"\"sfx.exe /O"), L"");
}

// Runs in a fresh temporary folder that holds pack.lzh, the current folder.
class ParseCommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetModuleState();
        GetCurrentDirectoryA(sizeof saved_, saved_);
        SetCurrentDirectoryA(folder_.path().c_str());
        WriteText(folder_.path() + "pack.lzh", "archive");
    }
    void TearDown() override { SetCurrentDirectoryA(saved_); }

    int Parse(const std::string& tail) { return ParseCommandLine(Wide(tail).c_str(), archive_, TestSwitches()); }
    std::string archivePath() const { return Narrow(archive_); }
    // The destination the command line gave, before any block's.
    std::string destination() const { return Narrow(g_state.destination); }

    const DeployerSwitches& switches() { return TestSwitches(); }

    RunSettings& settings() { return g_state.runSettings; }

    TempFolder folder_;
    char saved_[MAX_PATH];
    wchar_t archive_[MAX_PATH];
};

TEST_F(ParseCommandLineTest, SwitchAloneMeansOwnModule) {
    EXPECT_EQ(Parse("/O"), 1);
    EXPECT_EQ(archivePath(), "");
    EXPECT_EQ(settings().noConfirm, 1);
    EXPECT_EQ(settings().openFolder, 1);
}

TEST_F(ParseCommandLineTest, SwitchesBeforeOrAfterThePath) {
    EXPECT_EQ(Parse("pack.lzh /n"), 1);
    EXPECT_EQ(archivePath(), "pack.lzh");
    EXPECT_EQ(settings().openFolder, 0);

    ResetModuleState();
    EXPECT_EQ(Parse("/N pack.lzh"), 1);
    EXPECT_EQ(archivePath(), "pack.lzh");
    EXPECT_EQ(settings().openFolder, 0);

    ResetModuleState();
    EXPECT_EQ(Parse("/h  pack.lzh  "), 1);
    EXPECT_EQ(archivePath(), "pack.lzh");
    EXPECT_EQ(settings().skipDestinationDialog, 1);
}

TEST_F(ParseCommandLineTest, LastSwitchAtTheEndTakesTheTextBeforeTheFirst) {
    EXPECT_EQ(Parse("/O pack.lzh /N"), 1);
    EXPECT_EQ(archivePath(), "");
    EXPECT_EQ(settings().noConfirm, 1);
    EXPECT_EQ(settings().openFolder, 0);
}

TEST_F(ParseCommandLineTest, UnknownSwitchLeavesTheWholeTextAsPath) {
    EXPECT_EQ(Parse("/X pack.lzh"), 0);
    EXPECT_EQ(archivePath(), "/X pack.lzh");
    // /E without a colon is no switch either.
    ResetModuleState();
    EXPECT_EQ(Parse("/E pack.lzh"), 0);
    EXPECT_STREQ(settings().command, "");
}

TEST_F(ParseCommandLineTest, CommandValues) {
    EXPECT_EQ(Parse("/E:setup.exe /D"), 1);
    EXPECT_STREQ(settings().command, "setup.exe");
    EXPECT_EQ(settings().removeAfterRun, 1);
    EXPECT_EQ(archivePath(), "");

    ResetModuleState();
    EXPECT_EQ(Parse("/e:\"my setup.exe\" /d"), 1);
    EXPECT_STREQ(settings().command, "my setup.exe");
    EXPECT_EQ(settings().removeAfterRun, 1);
    EXPECT_EQ(archivePath(), "");

    // A switch inside a quoted value takes effect as well.
    ResetModuleState();
    EXPECT_EQ(Parse("/E:\"setup.exe /D\""), 1);
    EXPECT_STREQ(settings().command, "setup.exe /D");
    EXPECT_EQ(settings().removeAfterRun, 1);

    ResetModuleState();
    EXPECT_EQ(Parse("/E:setup.exe pack.lzh"), 1);
    EXPECT_STREQ(settings().command, "setup.exe");
    EXPECT_EQ(archivePath(), "pack.lzh");
}

TEST_F(ParseCommandLineTest, RemovalNeedsACommand) {
    EXPECT_EQ(Parse("/D"), 1);
    EXPECT_EQ(settings().removeAfterRun, 0);
    ResetModuleState();
    EXPECT_EQ(Parse("/E: /D"), 1);
    EXPECT_STREQ(settings().command, "");
    EXPECT_EQ(settings().removeAfterRun, 0);
}

TEST_F(ParseCommandLineTest, ForwardSlashesInAPathAreSwitches) {
    EXPECT_EQ(Parse("C:/dir/pack.lzh"), 0);
    EXPECT_EQ(archivePath(), "ir/pack.lzh");
    EXPECT_EQ(settings().removeAfterRun, 0);
}

TEST_F(ParseCommandLineTest, QuotedArchiveAndDestination) {
    const std::string archive = folder_.path() + "pack.lzh";
    const std::string out = folder_.path() + "out";
    EXPECT_EQ(Parse("\"" + archive + "\" \"" + out + "\""), 1);
    EXPECT_EQ(archivePath(), archive);
    EXPECT_EQ(destination(), out);  // does not exist yet: taken

    ResetModuleState();
    CreateDirectoryA(out.c_str(), nullptr);
    EXPECT_EQ(Parse("\"" + archive + "\" /H \"" + out + "\""), 1);
    EXPECT_EQ(destination(), out);
    EXPECT_EQ(settings().skipDestinationDialog, 1);

    // A plain file is no destination.
    ResetModuleState();
    EXPECT_EQ(Parse("\"" + archive + "\" \"" + archive + "\""), 1);
    EXPECT_EQ(destination(), "");

    // Without a blank between the two parts there is no destination.
    ResetModuleState();
    EXPECT_EQ(Parse("\"" + archive + "\"\"" + out + "\""), 1);
    EXPECT_EQ(archivePath(), archive);
    EXPECT_EQ(destination(), "");
}

TEST_F(ParseCommandLineTest, ArchiveMustBeAnExistingFile) {
    EXPECT_EQ(Parse("missing.lzh"), 0);
    CreateDirectoryA((folder_.path() + "folder.lzh").c_str(), nullptr);
    EXPECT_EQ(Parse("folder.lzh"), 0);
    EXPECT_EQ(Parse("pack.lzh"), 1);
}

TEST_F(ParseCommandLineTest, OverlongTextsAreCutAtTheirBuffersAndEndTheRun) {
    EXPECT_EQ(Parse("/E:" + std::string(600, 'x')), 1);
    EXPECT_EQ(std::string(settings().command), std::string(sizeof settings().command - 1, 'x'));
    EXPECT_EQ(switches().tooLong, 1);

    ResetModuleState();
    EXPECT_EQ(Parse("/O " + std::string(400, 'p')), 0);
    EXPECT_EQ(archivePath(), std::string(MAX_PATH - 1, 'p'));

    // The working copy holds 511 characters: a switch beyond them is not
    // seen, and the run does not go on with what was cut.
    ResetModuleState();
    Parse(std::string(520, ' ') + "/N");
    EXPECT_EQ(settings().openFolder, 1);
    EXPECT_EQ(switches().tooLong, 1);

    ResetModuleState();
    const std::string longDestination(300, 'd');
    EXPECT_EQ(Parse("\"pack.lzh\" \"" + longDestination + "\""), 1);
    EXPECT_EQ(destination(), longDestination.substr(0, MAX_PATH - 1));

    for (const char* letter : {"T", "L"}) {
        ResetModuleState();
        Parse(std::string("/") + letter + ":" + std::string(MAX_PATH, 'v'));
        EXPECT_EQ(switches().tooLong, 1) << letter;
        ResetModuleState();
        Parse(std::string("/") + letter + ":" + std::string(MAX_PATH - 1, 'v'));
        EXPECT_EQ(switches().tooLong, 0) << letter;
    }
}

TEST_F(ParseCommandLineTest, DeployerSwitchesInEitherCase) {
    EXPECT_EQ(Parse("/s /C"), 1);
    EXPECT_EQ(switches().silent, 1);
    EXPECT_EQ(switches().extractOnly, 1);
    EXPECT_EQ(switches().showHelp, 0);
    EXPECT_EQ(archivePath(), "");

    ResetModuleState();
    EXPECT_EQ(Parse("pack.lzh /?"), 1);
    EXPECT_EQ(switches().showHelp, 1);
    EXPECT_EQ(archivePath(), "pack.lzh");
}

TEST_F(ParseCommandLineTest, DeployerValuesAreTakenWhole) {
    EXPECT_EQ(Parse("/S /T:\"C:\\my out\" /l:log.txt /A:\"/quiet /norestart /D\""), 1);
    EXPECT_EQ(Narrow(switches().destination), "C:\\my out");
    EXPECT_EQ(destination(), "C:\\my out");
    EXPECT_EQ(Narrow(switches().logPath), "log.txt");
    EXPECT_EQ(Narrow(switches().arguments), "/quiet /norestart /D");
    // Switch letters inside a deployer's value are the installer's.
    EXPECT_EQ(settings().openFolder, 1);
    EXPECT_EQ(settings().removeAfterRun, 0);
    EXPECT_EQ(archivePath(), "");
    EXPECT_EQ(switches().tooLong, 0);

    ResetModuleState();
    EXPECT_EQ(Parse("/A:/S pack.lzh"), 1);
    EXPECT_EQ(Narrow(switches().arguments), "/S");
    EXPECT_EQ(switches().silent, 0);
    EXPECT_EQ(archivePath(), "pack.lzh");

    ResetModuleState();
    EXPECT_EQ(Parse("pack.lzh /T:C:\\out"), 1);
    EXPECT_EQ(archivePath(), "pack.lzh");
    EXPECT_EQ(destination(), "C:\\out");
}

TEST_F(ParseCommandLineTest, NamesInAnyScript) {
    // U+0915 and U+65E5: no code page holds both.
    const std::wstring archive = Wide(folder_.path()) + L"\x0915\x65E5.lzh";
    FILE* file = _wfopen(archive.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fclose(file);
    const std::wstring tail = L"/S \"" + archive + L"\" /L:\x0915.log /A:\x65E5 /E:x.exe";
    EXPECT_EQ(ParseCommandLine(tail.c_str(), archive_, TestSwitches()), 1);
    EXPECT_EQ(std::wstring(archive_), archive);
    EXPECT_STREQ(switches().logPath, L"\x0915.log");
    EXPECT_STREQ(switches().arguments, L"\x65E5");
    EXPECT_STREQ(settings().command, "x.exe");
    _wremove(archive.c_str());
}

TEST_F(ParseCommandLineTest, DeployersDestinationWinsOverTheQuotedOne) {
    const std::string archive = folder_.path() + "pack.lzh";
    EXPECT_EQ(Parse("\"" + archive + "\" \"" + folder_.path() + "quoted\" /T:C:\\deploy"), 1);
    EXPECT_EQ(archivePath(), archive);
    EXPECT_EQ(destination(), "C:\\deploy");
}

}  // namespace
