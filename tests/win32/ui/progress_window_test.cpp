// Dialog 120, the progress window: range and positions in KiB, the entry
// name, Cancel, the close box, WM_CLOSE, and the animation.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "archive/reporter.h"
#include "res/resource.h"
#include "ui/ui.h"
#include "window_driver.h"

namespace {

class DialogProgressWindow : public testing::Test {
protected:
    void SetUp() override {
        abortState_ = lzh::kAbortNone;
        g_ui.progressWindow = nullptr;
    }
    void TearDown() override {
        if (IsWindow(g_ui.progressWindow)) SendMessageA(g_ui.progressWindow, WM_CLOSE, 0, 0);
        TakeQuitMessage();
    }

    HWND Open(int32_t total) {
        OpenProgressWindow(total, &abortState_);
        EXPECT_NE(g_ui.progressWindow, nullptr);
        return g_ui.progressWindow;
    }
    static HWND Bar(HWND window) { return GetDlgItem(window, IDC_PROGRESS_BAR); }
    static HWND Animation(HWND window) { return FindWindowExA(window, nullptr, ANIMATE_CLASSA, nullptr); }

    std::atomic<int32_t> abortState_{lzh::kAbortNone};
};

TEST_F(DialogProgressWindow, OpensVisibleWithTheRangeInWholeKiB) {
    const int32_t totals[] = {0, 1000, 1023, 1024, 5 * 1024 + 1023, 100 << 20};
    for (int32_t total : totals) {
        HWND window = Open(total);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(SendMessageA(Bar(window), PBM_GETRANGE, FALSE, 0), total / 1024) << total;
        EXPECT_EQ(SendMessageA(Bar(window), PBM_GETRANGE, TRUE, 0), 0) << total;
        SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window));
    }
}

TEST_F(DialogProgressWindow, PositionsFromTheWorkerMoveTheBarAndStopWhenFull) {
    HWND window = Open(64 * 1024);
    LRESULT seen[3] = {};
    {
        // The worker sends; the main thread handles each while it pumps.
        Worker worker([&] {
            const LPARAM positions[3] = {7, 64, 500};
            for (int i = 0; i < 3; ++i) {
                SendMessageA(window, kProgressPos, 0, positions[i]);
                seen[i] = SendMessageA(Bar(window), PBM_GETPOS, 0, 0);
            }
        });
        worker.PumpUntilDone();
    }
    EXPECT_EQ(seen[0], 7);
    EXPECT_EQ(seen[1], 64);
    EXPECT_EQ(seen[2], 64);  // past the range: the bar stays full

    SendMessageA(window, kProgressPos, 0, 7);
    EXPECT_EQ(SendMessageA(Bar(window), PBM_GETPOS, 0, 0), 7);
}

TEST_F(DialogProgressWindow, EntryNameLineTakesTextFromTheWorker) {
    HWND window = Open(4096);
    std::string shown[2];
    {
        // A position with a name shows it; one without keeps it.
        Worker worker([&] {
            SendMessageA(window, kProgressPos, reinterpret_cast<WPARAM>(L"docs\\readme.txt"), 1);
            shown[0] = ItemText(window, IDC_ENTRY_NAME);
            SendMessageA(window, kProgressPos, 0, 2);
            shown[1] = ItemText(window, IDC_ENTRY_NAME);
        });
        worker.PumpUntilDone();
    }
    EXPECT_EQ(shown[0], "docs\\readme.txt");
    EXPECT_EQ(shown[1], "docs\\readme.txt");
}

TEST_F(DialogProgressWindow, CancelOnlyRequestsTheAbortAndKeepsTheWindow) {
    HWND window = Open(4096);
    SendMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(abortState_.load(), lzh::kAbortCancelled);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(TakeQuitMessage());
}

TEST_F(DialogProgressWindow, EscapeThroughTheDialogLoopActsAsCancel) {
    HWND window = Open(4096);
    PressKey(GetDlgItem(window, IDCANCEL), VK_ESCAPE);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    EXPECT_EQ(abortState_.load(), lzh::kAbortCancelled);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(DialogProgressWindow, CloseDestroysTheWindowAndItsAnimation) {
    HWND window = Open(4096);
    HWND animation = Animation(window);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    if (animation != nullptr) EXPECT_FALSE(IsWindow(animation));
    EXPECT_EQ(abortState_.load(), lzh::kAbortNone);
    // The handle stays behind; messages to it go nowhere.
    EXPECT_EQ(g_ui.progressWindow, window);
    EXPECT_EQ(SendMessageA(window, kProgressPos, 0, 1), 0);
}

TEST_F(DialogProgressWindow, CloseBoxCancelsAndDestroysAtOnce) {
    HWND window = Open(4096);
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(abortState_.load(), lzh::kAbortCancelled);
}

TEST_F(DialogProgressWindow, OtherSystemCommandsKeepTheWindow) {
    HWND window = Open(4096);
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsIconic(window));  // the default handling ran
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(abortState_.load(), lzh::kAbortNone);
    EXPECT_FALSE(TakeQuitMessage());
}

TEST_F(DialogProgressWindow, AnimationSitsAtTheTopAndStopsAndPlaysOnRequest) {
    HWND window = Open(4096);
    HWND animation = Animation(window);
    if (animation == nullptr) GTEST_SKIP() << "no file-copy animation in this system's shell32.dll";
    RECT box;
    GetWindowRect(animation, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(box.left, 50);
    EXPECT_EQ(box.top, 0);
    EXPECT_GT(box.right - box.left, 0) << "the animation did not open";

    AnimationRecorder recorder(animation);
    SendMessageA(window, kAnimationStop, 0, 0);
    SendMessageA(window, kAnimationPlay, 0, 0);
    const std::vector<AnimationRecorder::Call> calls = recorder.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, static_cast<UINT>(ACM_STOP));
    EXPECT_EQ(calls[1].message, static_cast<UINT>(ACM_PLAY));
    EXPECT_EQ(calls[1].wParam, static_cast<WPARAM>(-1));          // repeat forever
    EXPECT_EQ(calls[1].lParam, static_cast<LPARAM>(0xFFFF0000));  // first frame to last
}

}  // namespace
