// The installer windows the module waits for after a launch: two window
// classes, in this order, then the title "Setup".
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "launch/launch.h"

namespace {

class DialogInstallerWindow : public ::testing::Test {
protected:
    void TearDown() override {
        for (HWND window : windows_) DestroyWindow(window);
    }

    // A top-level window of a class of this process, never shown.
    HWND Open(const char* className, const char* title) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className;
        RegisterClassA(&windowClass);
        HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(window, nullptr) << className;
        windows_.push_back(window);
        return window;
    }

    HWND Find() {
        const char* className = "stale";
        const char* title = "stale";
        HWND found = FindInstallerWindow(&className, &title);
        className_ = className != nullptr ? className : "";
        title_ = title != nullptr ? title : "";
        EXPECT_TRUE(className == nullptr || title == nullptr);
        return found;
    }

    std::string className_;
    std::string title_;
    std::vector<HWND> windows_;
};

TEST_F(DialogInstallerWindow, NoneFoundLeavesBothNamesEmpty) {
    Open("BenchOther", "Not the installer");
    EXPECT_EQ(Find(), nullptr);
    EXPECT_EQ(className_, "");
    EXPECT_EQ(title_, "");
}

TEST_F(DialogInstallerWindow, ClassesComeBeforeTheTitle) {
    HWND titled = Open("BenchOther", "Setup");
    HWND shield = Open("InstallShield_Win", "Installing");
    EXPECT_EQ(Find(), shield);
    EXPECT_EQ(className_, "InstallShield_Win");
    EXPECT_EQ(title_, "");

    HWND msi = Open("MsiDialogCloseClass", "");
    EXPECT_EQ(Find(), msi);
    EXPECT_EQ(className_, "MsiDialogCloseClass");
    EXPECT_EQ(title_, "");

    DestroyWindow(msi);
    DestroyWindow(shield);
    EXPECT_EQ(Find(), titled);
    EXPECT_EQ(className_, "");
    EXPECT_EQ(title_, "Setup");
}

TEST_F(DialogInstallerWindow, TheTitleIsMatchedWholeWithoutRegardToCase) {
    Open("BenchOther", "Setup Wizard");
    EXPECT_EQ(Find(), nullptr);
    HWND upper = Open("BenchOther", "SETUP");
    EXPECT_EQ(Find(), upper);
    EXPECT_EQ(title_, "Setup");
}

}  // namespace
