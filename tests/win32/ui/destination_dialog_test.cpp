// Dialog 102, the destination dialog, and the folder browser behind its
// "Browse..." button, driven as a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "res/resource.h"
#include "ui/ui.h"
#include "window_driver.h"

namespace {

class DialogDestination : public testing::Test {
protected:
    void SetUp() override { SetDestination("C:\\Temp"); }

    void SetDestination(const char* text) {
        MultiByteToWideChar(CP_ACP, 0, text, -1, destination_, MAX_PATH);
    }
    std::string Destination() const {
        char narrow[2 * MAX_PATH];
        WideCharToMultiByte(CP_ACP, 0, destination_, -1, narrow, sizeof narrow, nullptr, nullptr);
        return narrow;
    }

    // Shows the dialog on this thread; act runs once it is up.
    int32_t Run(const char* archiveName, const std::function<void(HWND)>& act) {
        DialogDriver driver(GetCurrentThreadId(), act);
        wchar_t name[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, archiveName, -1, name, MAX_PATH);
        const int32_t result = AskDestination(destination_, name);
        driver.Join();
        EXPECT_TRUE(driver.found());
        EXPECT_TRUE(driver.finished());
        return result;
    }

    static void ClickCheckBox(HWND dialog) {
        SendMessageA(GetDlgItem(dialog, IDC_ARCHIVE_FOLDER), BM_CLICK, 0, 0);
    }

    wchar_t destination_[MAX_PATH];
};

TEST_F(DialogDestination, ShowsTheDestinationAndOkTakesTheTypedText) {
    std::string shown;
    const int32_t result = Run("setup", [&](HWND dialog) {
        shown = ItemText(dialog, IDC_DESTINATION);
        SetItemText(dialog, IDC_DESTINATION, "D:\\typed folder");
        ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(shown, "C:\\Temp");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Destination(), "D:\\typed folder");
}

TEST_F(DialogDestination, EnterInTheEditFieldAcceptsLikeOk) {
    const int32_t result = Run("setup", [](HWND dialog) {
        SetItemText(dialog, IDC_DESTINATION, "E:\\by enter");
        PressKey(GetDlgItem(dialog, IDC_DESTINATION), VK_RETURN);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Destination(), "E:\\by enter");
}

TEST_F(DialogDestination, CancelEscapeAndTheCloseBoxReturnTwoAndKeepTheDestination) {
    const std::function<void(HWND)> ways[] = {
        [](HWND dialog) { ClickButton(dialog, IDCANCEL); },
        [](HWND dialog) { PressKey(GetDlgItem(dialog, IDC_DESTINATION), VK_ESCAPE); },
        [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    int way = 0;
    for (const auto& act : ways) {
        SCOPED_TRACE(testing::Message() << "way " << way++);
        const int32_t result = Run("setup", [&](HWND dialog) {
            SetItemText(dialog, IDC_DESTINATION, "D:\\not taken");
            act(dialog);
        });
        EXPECT_EQ(result, 2);
        EXPECT_EQ(Destination(), "C:\\Temp");
    }
}

TEST_F(DialogDestination, CheckBoxAddsAndRemovesTheArchiveFolder) {
    std::string checked, unchecked;
    const int32_t result = Run("setup", [&](HWND dialog) {
        ClickCheckBox(dialog);
        checked = ItemText(dialog, IDC_DESTINATION);
        ClickCheckBox(dialog);
        unchecked = ItemText(dialog, IDC_DESTINATION);
        ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(checked, "C:\\Temp\\setup\\");
    EXPECT_EQ(unchecked, "C:\\Temp\\");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Destination(), "C:\\Temp\\");
}

TEST_F(DialogDestination, CheckBoxWorksOnTheTextAsEdited) {
    std::string unchecked;
    Run("setup", [&](HWND dialog) {
        ClickCheckBox(dialog);
        SetItemText(dialog, IDC_DESTINATION, "C:\\mysetup");
        ClickCheckBox(dialog);
        unchecked = ItemText(dialog, IDC_DESTINATION);
        ClickButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(unchecked, "C:\\my\\");
}

TEST_F(DialogDestination, CheckBoxNeverOverrunsALongDestination) {
    const std::string longFolder = "C:\\" + std::string(255, 'x');
    SetDestination(longFolder.c_str());
    std::string checked;
    const int32_t result = Run("a-long-archive-name", [&](HWND dialog) {
        ClickCheckBox(dialog);
        checked = ItemText(dialog, IDC_DESTINATION);
        ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(checked, longFolder + "\\");
    EXPECT_EQ(Destination(), longFolder + "\\");
}

// Browsing: the browser opens on the typed folder (the selection the
// dialog's callback sets) and OK there returns that folder.
TEST_F(DialogDestination, BrowseStartsAtTheTypedFolderAndReturnsTheChoice) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    std::string afterBrowse;
    bool browserShown = false;
    const int32_t result = Run("setup", [&](HWND dialog) {
        SetItemText(dialog, IDC_DESTINATION, system);
        ClickButton(dialog, IDC_BROWSE);
        HWND browser = WaitForDialog(GetWindowThreadProcessId(dialog, nullptr), dialog);
        browserShown = browser != nullptr;
        if (browser != nullptr) {
            ClickButton(browser, IDOK);
            for (int i = 0; i < 250 && IsWindow(browser); ++i) Sleep(20);
        }
        afterBrowse = ItemText(dialog, IDC_DESTINATION);
        ClickButton(dialog, IDOK);
    });
    ASSERT_TRUE(browserShown);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, afterBrowse.c_str(), -1, system, -1),
              CSTR_EQUAL)
        << afterBrowse << " vs " << system;
}

TEST_F(DialogDestination, CancellingTheBrowserLeavesTheFieldAsTyped) {
    std::string afterBrowse;
    bool browserShown = false;
    Run("setup", [&](HWND dialog) {
        SetItemText(dialog, IDC_DESTINATION, "C:\\windows");
        ClickButton(dialog, IDC_BROWSE);
        HWND browser = WaitForDialog(GetWindowThreadProcessId(dialog, nullptr), dialog);
        browserShown = browser != nullptr;
        if (browser != nullptr) {
            ClickButton(browser, IDCANCEL);
            for (int i = 0; i < 250 && IsWindow(browser); ++i) Sleep(20);
        }
        afterBrowse = ItemText(dialog, IDC_DESTINATION);
        ClickButton(dialog, IDCANCEL);
    });
    ASSERT_TRUE(browserShown);
    EXPECT_EQ(afterBrowse, "C:\\windows");
}

}  // namespace
