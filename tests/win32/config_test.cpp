// The configuration block behind the image: found, checked and applied.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/state.h"
#include "launch/wow64.h"
#include "module_test_support.h"

namespace {

SfxConfig Block(const char* signature = "ORVANE3") {
    SfxConfig block;
    std::memset(&block, 0, sizeof block);
    std::memcpy(block.signature, signature, 7);
    return block;
}

void SetText(char* field, size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), text.size() < size ? text.size() : size);
}

// A file laid out like a package of the test program: as many bytes as its
// image, then the given tail (block, archive...).
class LoadSfxConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetModuleState();
        imageEnd_ = FindImageEnd(g_state.module);
        ASSERT_GT(imageEnd_, 0u);
    }

    ConfigOutcome Load(const std::vector<uint8_t>& tail, long* fileSize = nullptr) {
        std::vector<uint8_t> bytes(imageEnd_, 0xCC);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        const std::string path = folder_.path() + "pack.exe";
        WriteBytes(path, bytes);
        stream_ = std::fopen(path.c_str(), "rb");
        long size = 0;
        const ConfigOutcome outcome = LoadSfxConfig(stream_, Wide(path).c_str(), &size);
        if (fileSize != nullptr) *fileSize = size;
        if (outcome == kConfigApplied || outcome == kConfigAbsent) {
            position_ = std::ftell(stream_);
            std::fclose(stream_);
        }
        return outcome;
    }

    static std::vector<uint8_t> BytesOf(const SfxConfig& block, size_t archiveBytes = 64) {
        std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(&block),
                                   reinterpret_cast<const uint8_t*>(&block) + sizeof block);
        bytes.resize(bytes.size() + archiveBytes, 0);
        return bytes;
    }

    RunSettings& settings() { return g_state.runSettings; }
    // The block's destination, its folder token resolved.
    std::string destination() { return Narrow(g_state.destination); }

    // A removing run whose destination is %temp% gets the run's own folder.
    void ExpectPrivateTemporaryFolder(const SfxConfig& block) {
        EXPECT_EQ(Load(BytesOf(block)), kConfigApplied);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        EXPECT_EQ(destination(), std::string(temp) + "~pack.exe");
        EXPECT_EQ(g_state.tempFolderMade, 1);
    }

    TempFolder folder_;
    uint32_t imageEnd_ = 0;
    FILE* stream_ = nullptr;
    long position_ = -1;
};

TEST_F(LoadSfxConfigTest, ValidBlockReplacesTheSwitches) {
    settings().noConfirm = 1;  // as /O would have set it
    lstrcpyW(g_state.destination, L"C:\\Quoted");  // as the command line gives it
    SfxConfig block = Block();
    SetText(block.destination, sizeof block.destination, "D:\\Out");
    SetText(block.command, sizeof block.command, "setup.exe");
    block.noConfirm = 0;
    block.openFolder = 7;
    block.removeAfterRun = 1;
    block.skipDestinationDialog = 1;
    block.expectedCrc = 0x12345678;
    SetText(block.title, sizeof block.title, "Title");
    SetText(block.question, sizeof block.question, "Install?");

    long fileSize = 0;
    EXPECT_EQ(Load(BytesOf(block), &fileSize), kConfigApplied);
    EXPECT_EQ(fileSize, static_cast<long>(imageEnd_ + 512 + 64));
    EXPECT_EQ(position_, 0);
    EXPECT_EQ(destination(), "D:\\Out");
    EXPECT_STREQ(settings().command, "setup.exe");
    EXPECT_EQ(settings().noConfirm, 0);
    EXPECT_EQ(settings().openFolder, 7);
    EXPECT_EQ(settings().removeAfterRun, 1);
    EXPECT_EQ(settings().skipDestinationDialog, 1);
    EXPECT_EQ(settings().expectedCrc, 0x12345678u);
    EXPECT_STREQ(settings().title, "Title");
    EXPECT_STREQ(settings().question, "Install?");
    EXPECT_NE(settings().variant, '6');  // not a 64-bit package
    EXPECT_EQ(g_state.tempFolderMade, 0);
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(LoadSfxConfigTest, WrongSignatureOrShortBlockIsIgnored) {
    settings().noConfirm = 1;
    SfxConfig block = Block("orvane3");
    SetText(block.command, sizeof block.command, "setup.exe");
    EXPECT_EQ(Load(BytesOf(block)), kConfigAbsent);
    EXPECT_EQ(position_, 0);
    EXPECT_STREQ(settings().command, "");
    EXPECT_EQ(settings().noConfirm, 1);

    block = Block();
    std::vector<uint8_t> bytes = BytesOf(block, 0);
    bytes.resize(511);
    EXPECT_EQ(Load(bytes), kConfigAbsent);
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(LoadSfxConfigTest, FileNoLargerThanTheImageEndsTheRun) {
    EXPECT_EQ(Load({}), kConfigEndRun);
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(LoadSfxConfigTest, TextsWithoutTerminatorAreCutAtTheirField) {
    SfxConfig block = Block();
    std::memset(block.destination, 'd', sizeof block.destination);
    std::memset(block.command, 'c', sizeof block.command);
    std::memset(block.title, 't', sizeof block.title);
    std::memset(block.question, 'q', sizeof block.question);
    block.openFolder = 0x01010101;  // what follows each text is not taken into it
    EXPECT_EQ(Load(BytesOf(block)), kConfigApplied);
    EXPECT_EQ(destination(), std::string(259, 'd'));
    EXPECT_EQ(std::string(settings().command), std::string(127, 'c'));
    EXPECT_EQ(std::string(settings().title), std::string(31, 't'));
    EXPECT_EQ(std::string(settings().question), std::string(63, 'q'));
}

TEST_F(LoadSfxConfigTest, EmptyCommandNeitherRemovesNorNeedsWin64) {
    SfxConfig block = Block("ORVANE6");
    SetText(block.destination, sizeof block.destination, "%temp%");
    block.removeAfterRun = 1;
    EXPECT_EQ(Load(BytesOf(block)), kConfigApplied);
    EXPECT_EQ(settings().removeAfterRun, 0);
    EXPECT_NE(settings().variant, '6');  // not a 64-bit package
    EXPECT_EQ(g_state.tempFolderMade, 0);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    temp[std::strlen(temp) - 1] = '\0';  // without its trailing backslash
    EXPECT_EQ(destination(), temp);
}

TEST_F(LoadSfxConfigTest, DeployersDestinationReplacesTheBlocks) {
    SfxConfig block = Block();
    SetText(block.destination, sizeof block.destination, "D:\\Out");
    lstrcpyW(TestSwitches().destination, L"E:\\Deploy");
    EXPECT_EQ(Load(BytesOf(block)), kConfigApplied);
    EXPECT_EQ(destination(), "E:\\Deploy");

    // Its tokens work as the block's: a removing run gets its private folder.
    ResetModuleState();
    lstrcpyW(TestSwitches().destination, L"%temp%");
    SetText(block.command, sizeof block.command, "setup.exe");
    block.removeAfterRun = 1;
    ExpectPrivateTemporaryFolder(block);
}

TEST_F(LoadSfxConfigTest, PrivateTemporaryFolderForARemovingRun) {
    SfxConfig block = Block();
    SetText(block.destination, sizeof block.destination, "%temp%");
    SetText(block.command, sizeof block.command, "setup.exe");
    block.removeAfterRun = 1;
    ExpectPrivateTemporaryFolder(block);
}

TEST_F(LoadSfxConfigTest, Win64PackageRunsOnlyUnderWow64) {
    SfxConfig block = Block("ORVANE6");
    SetText(block.command, sizeof block.command, "setup.exe");
    const ConfigOutcome outcome = Load(BytesOf(block));
    if (Wow64Redirection(kWow64Query)) {
        EXPECT_EQ(outcome, kConfigApplied);
        EXPECT_EQ(settings().variant, '6');
    } else {
        EXPECT_EQ(outcome, kConfigRefused);
        ASSERT_EQ(ShownMessages().size(), 1u);
        EXPECT_EQ(ShownMessages()[0].caption, "VID-IDA");
    }
    // Any other variant behaves like '3'.
    ResetModuleState();
    block = Block("ORVANE4");
    SetText(block.command, sizeof block.command, "setup.exe");
    EXPECT_EQ(Load(BytesOf(block)), kConfigApplied);
    EXPECT_NE(settings().variant, '6');  // not a 64-bit package
}

TEST(Wow64Query, AgreesWithTheSystem) {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    EXPECT_EQ(Wow64Redirection(kWow64Query), wow64 ? 1 : 0);
}

}  // namespace
