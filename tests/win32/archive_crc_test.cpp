// The whole-archive CRC-32 check: the value over the bytes behind the
// configuration block, the warning on a mismatch, and dialog 103's bar.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/archive_crc.h"
#include "app/config.h"
#include "package/crc32.h"
#include "app/state.h"
#include "res/resource.h"
#include "module_test_support.h"

namespace {

std::vector<uint8_t> Pattern(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

uint32_t Crc32Of(const std::vector<uint8_t>& bytes, size_t from) {
    return Crc32(bytes.data() + from, bytes.size() - from);
}

class ArchiveCrcTest : public ::testing::Test {
protected:
    void SetUp() override { ResetModuleState(); }

    // A file of a "module" part and an archive part behind it.
    std::string Write(const std::vector<uint8_t>& bytes) {
        const std::string path = folder_.path() + "pack.exe";
        WriteBytes(path, bytes);
        return path;
    }

    TempFolder folder_;
};

TEST_F(ArchiveCrcTest, CoversTheBytesFromTheStartToTheEnd) {
    // Several reads long: starts and ends on and beside the 64 KiB reads.
    const std::vector<uint8_t> bytes = Pattern(200000, 1);
    const std::string path = Write(bytes);
    for (uint32_t start : {0u, 1u, 512u, 2049u, 65535u, 65536u, 65537u, 131072u, 199999u}) {
        EXPECT_EQ(CheckFileCrc(nullptr, Wide(path).c_str(), start, 0, 0), Crc32Of(bytes, start))
            << "from " << start;
    }
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(ArchiveCrcTest, StopsAtTheGivenEnd) {
    std::vector<uint8_t> bytes = Pattern(150000, 7);
    for (uint32_t end : {6000u, 65536u, 140001u}) {
        const uint32_t covered = Crc32Of(std::vector<uint8_t>(bytes.begin(), bytes.begin() + end), 512);
        bytes[end] ^= 0xFF;  // where a signature would start: not covered
        const std::string path = Write(bytes);
        EXPECT_EQ(CheckFileCrc(nullptr, Wide(path).c_str(), 512, end, covered), covered) << "to " << end;
        bytes[end] ^= 0xFF;
    }
    // An end beyond the file is the end of the file.
    const std::string path = Write(bytes);
    EXPECT_EQ(CheckFileCrc(nullptr, Wide(path).c_str(), 512, 200000, 0), Crc32Of(bytes, 512));
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(ArchiveCrcTest, TheStandardCheckValue) {
    std::vector<uint8_t> bytes = Pattern(700, 2);
    const char* text = "123456789";
    bytes.insert(bytes.end(), text, text + 9);
    const std::string path = Write(bytes);
    EXPECT_EQ(CheckFileCrc(nullptr, Wide(path).c_str(), 700, 0, 0xCBF43926u), 0xCBF43926u);
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(ArchiveCrcTest, BytesBeforeTheStartDoNotCount) {
    std::vector<uint8_t> bytes = Pattern(5000, 3);
    const uint32_t expected = Crc32Of(bytes, 512);
    bytes[0] ^= 0xFF;
    bytes[511] ^= 0x01;
    const std::string path = Write(bytes);
    EXPECT_EQ(CheckFileCrc(nullptr, Wide(path).c_str(), 512, 0, expected), expected);
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(ArchiveCrcTest, AMismatchIsWarnedAboutAndGivesZero) {
    std::vector<uint8_t> bytes = Pattern(300000, 4);
    const uint32_t expected = Crc32Of(bytes, 512);
    bytes[200000] ^= 0x10;
    const std::string path = Write(bytes);
    HWND owner = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(CheckFileCrc(owner, Wide(path).c_str(), 512, 0, expected), 0u);
    ASSERT_EQ(ShownMessages().size(), 1u);
    const ShownMessage& shown = ShownMessages()[0];
    EXPECT_EQ(shown.caption, "Warning");
    if (GetUserDefaultUILanguage() != 0x411) EXPECT_EQ(shown.text, "CRC check error!");
    EXPECT_EQ(shown.type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(shown.owner, owner);

    // One byte appended after the archive counts as well.
    ClearMessages();
    bytes[200000] ^= 0x10;
    bytes.push_back('x');
    Write(bytes);
    EXPECT_EQ(CheckFileCrc(nullptr, Wide(path).c_str(), 512, 0, expected), 0u);
    EXPECT_EQ(ShownMessages().size(), 1u);
}

TEST_F(ArchiveCrcTest, AFileThatCannotBeOpenedGivesZeroSilently) {
    EXPECT_EQ(CheckFileCrc(nullptr, Wide(folder_.path() + "missing.exe").c_str(), 0, 0, 0x12345678u), 0u);
    EXPECT_EQ(CheckFileCrc(nullptr, Wide(folder_.path() + "missing.exe").c_str(), 0, 0, 0), 0u);
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(ArchiveCrcTest, ANameNoCodePageHolds) {
    // U+0915 is in neither code page 1252 nor 932: the file is opened by its
    // UTF-16 name, not through a short name the volume may not have.
    const std::vector<uint8_t> bytes = Pattern(3000, 8);
    const std::wstring path = Wide(folder_.path()) + L"\x0915-pack.exe";
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    EXPECT_EQ(CheckFileCrc(nullptr, path.c_str(), 512, 0, 0), Crc32Of(bytes, 512));
    EXPECT_EQ(CheckFileCrc(nullptr, path.c_str(), 512, 0, Crc32Of(bytes, 512) ^ 1), 0u);
    ASSERT_EQ(ShownMessages().size(), 1u);
}

TEST_F(ArchiveCrcTest, TheModuleFileFromTheEndOfItsBlock) {
    // This test program stands for the module: its file continues behind
    // its image (the symbol table), as a package's does.
    const std::vector<uint8_t> bytes = ReadBytes(ModuleFileName());
    const uint32_t start = FindImageEnd(GetModuleHandleA(nullptr)) + sizeof(SfxConfig);
    ASSERT_LT(start, bytes.size());
    const uint32_t expected = Crc32Of(bytes, start);
    const std::wstring path = Wide(ModuleFileName());
    HMODULE module = GetModuleHandleA(nullptr);
    EXPECT_EQ(CheckArchiveCrc(nullptr, module, path.c_str(), 0), expected);
    EXPECT_EQ(CheckArchiveCrc(nullptr, module, path.c_str(), expected), expected);
    EXPECT_TRUE(ShownMessages().empty());
    EXPECT_EQ(CheckArchiveCrc(nullptr, module, path.c_str(), expected ^ 1), 0u);
    EXPECT_EQ(ShownMessages().size(), 1u);
}

// Run under a Japanese user interface only: there the warning names the file.
class ArchiveCrcJapanese : public ArchiveCrcTest {};

TEST_F(ArchiveCrcJapanese, WarningNamesTheFile) {
    if (GetUserDefaultUILanguage() != 0x411) GTEST_SKIP() << "needs a Japanese user interface";
    const std::vector<uint8_t> bytes = Pattern(1000, 5);
    const std::string path = Write(bytes);
    EXPECT_EQ(CheckFileCrc(nullptr, Wide(path).c_str(), 0, 0, Crc32Of(bytes, 0) ^ 1), 0u);
    ASSERT_EQ(ShownMessages().size(), 1u);
    EXPECT_EQ(ShownMessages()[0].caption, "Warning");
    EXPECT_NE(ShownMessages()[0].text.find("'" + path + "'"), std::string::npos) << ShownMessages()[0].text;
}

// What the check sent to the bar of dialog 103, seen through a hook on
// this thread's window procedures.
struct BarMessages {
    std::vector<LPARAM> ranges;
    std::vector<WPARAM> positions;
    HWND dialog = nullptr;
    bool dialogVisible = false;
};
BarMessages* recording;

LRESULT CALLBACK RecordBar(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && recording != nullptr && GetDlgCtrlID(call->hwnd) == IDC_PROGRESS_BAR &&
        (call->message == PBM_SETRANGE32 || call->message == PBM_SETPOS)) {
        recording->dialog = GetParent(call->hwnd);
        recording->dialogVisible = IsWindowVisible(recording->dialog) != FALSE;
        if (call->message == PBM_SETRANGE32 && call->wParam == 0) recording->ranges.push_back(call->lParam);
        if (call->message == PBM_SETPOS) recording->positions.push_back(call->wParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class DialogCrcCheck : public ArchiveCrcTest {
protected:
    // dialogDelay 0: dialog 103 from the first update.
    BarMessages Check(size_t archiveBytes, DWORD dialogDelay = 0) {
        InitCommonControls();
        const std::vector<uint8_t> bytes = Pattern(512 + archiveBytes, 6);
        const std::string path = Write(bytes);
        BarMessages seen;
        recording = &seen;
        HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordBar, nullptr, GetCurrentThreadId());
        EXPECT_NE(hook, nullptr);
        EXPECT_EQ(CheckFileCrc(nullptr, Wide(path).c_str(), 512, 0, 0, dialogDelay), Crc32Of(bytes, 512));
        UnhookWindowsHookEx(hook);
        recording = nullptr;
        if (dialogDelay == 0) {
            EXPECT_NE(seen.dialog, nullptr);
            EXPECT_TRUE(seen.dialogVisible);
        }
        EXPECT_FALSE(IsWindow(seen.dialog)) << "dialog 103 outlived the check";
        return seen;
    }
};

// The bar is set on a timer and once at the end: at most once per read of
// 64 KiB or more plus that last time, never back, never beyond its range,
// and last at the bytes checked in 100 KiB steps.
void ExpectPositions(const BarMessages& seen, size_t archiveBytes) {
    ASSERT_EQ(seen.ranges.size(), 1u);
    EXPECT_EQ(seen.ranges[0], static_cast<LPARAM>(archiveBytes / kCrcProgressUnit));
    ASSERT_FALSE(seen.positions.empty());
    EXPECT_LE(seen.positions.size(), (archiveBytes + 65535) / 65536 + 1);
    for (size_t i = 0; i < seen.positions.size(); i++) {
        EXPECT_LE(seen.positions[i], static_cast<WPARAM>(seen.ranges[0])) << "position " << i;
        if (i > 0) EXPECT_GE(seen.positions[i], seen.positions[i - 1]) << "position " << i;
    }
    EXPECT_EQ(seen.positions.back(), archiveBytes / kCrcProgressUnit);
}

TEST_F(DialogCrcCheck, BarCountsHundredKibSteps) {
    for (size_t archiveBytes : {size_t{250 * 1024 + 100}, size_t{3 * 1024 * 1024}}) {
        SCOPED_TRACE(archiveBytes);
        ExpectPositions(Check(archiveBytes), archiveBytes);
    }
}

TEST_F(DialogCrcCheck, AQuickCheckOpensNoDialog) {
    const BarMessages seen = Check(4096, kCrcDialogDelay);  // one read, well within the delay
    EXPECT_EQ(seen.dialog, nullptr);
    EXPECT_TRUE(seen.ranges.empty());
    EXPECT_TRUE(seen.positions.empty());
}

TEST_F(DialogCrcCheck, BarOfASmallArchiveNeverMoves) {
    const size_t archiveBytes = 100 * 1024 - 1;
    const BarMessages seen = Check(archiveBytes);
    ExpectPositions(seen, archiveBytes);
    for (WPARAM position : seen.positions) EXPECT_EQ(position, 0u);
}

}  // namespace
