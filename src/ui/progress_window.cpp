// Dialog 120, the modeless progress window shown on the main thread during
// extraction.  Other threads reach it only by messages: kProgressPos,
// kAnimationPlay, kAnimationStop and WM_CLOSE.
#include <windows.h>
#include <commctrl.h>

#include "archive/reporter.h"
#include "res/resource.h"
#include "ui/ui.h"

namespace {

struct ProgressControls {
    HWND bar;
    HWND animation;  // null when not created
};

ProgressControls g_progress;

// The system's file-copy animation, top left beside the texts.  Its frames
// are in shell32.dll, which the module imports, so it is loaded already.
void CreateAnimation(HWND dialog) {
    HMODULE shell = GetModuleHandleA("shell32");
    if (shell == nullptr) return;
    g_progress.animation =
        CreateWindowExA(0, ANIMATE_CLASSA, nullptr, WS_CHILD | WS_VISIBLE | ACS_TRANSPARENT | ACS_AUTOPLAY, 0,
                        0, 0, 0, dialog, reinterpret_cast<HMENU>(1), shell, nullptr);
    if (g_progress.animation == nullptr) return;
    // Opening sizes the control to the frame and, with ACS_AUTOPLAY, starts it.
    SendMessageA(g_progress.animation, ACM_OPENA, 0, IDA_SHELL_FILE_COPY);
    SetWindowPos(g_progress.animation, nullptr, 50, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// Ends the window and its animation.
void EndProgressWindow(HWND dialog) {
    if (g_progress.animation != nullptr) {
        DestroyWindow(g_progress.animation);
        g_progress.animation = nullptr;
    }
    DestroyWindow(dialog);
}

INT_PTR CALLBACK ProgressWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_progress.bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
        // Both the range and the positions count KiB.
        SendMessageA(g_progress.bar, PBM_SETRANGE32, 0, static_cast<int32_t>(lParam) / 1024);
        g_progress.animation = nullptr;
        CreateAnimation(dialog);
        return TRUE;

    case kProgressPos:
        if (wParam != 0) SetDlgItemTextW(dialog, IDC_ENTRY_NAME, reinterpret_cast<const wchar_t*>(wParam));
        SendMessageA(g_progress.bar, PBM_SETPOS, lParam, 0);
        return FALSE;

    case WM_COMMAND:
        if (wParam != IDCANCEL) return FALSE;
        // The worker notices and removes its partial file; the run driver
        // closes the window when the worker has ended.
        g_ui.abortState->store(lzh::kAbortCancelled);
        return TRUE;

    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
        g_ui.abortState->store(lzh::kAbortCancelled);
        EndProgressWindow(dialog);
        return TRUE;

    case kAnimationPlay:  // from the first frame, forever
        if (g_progress.animation != nullptr)
            SendMessageA(g_progress.animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, -1));
        return TRUE;

    case kAnimationStop:
        if (g_progress.animation != nullptr) SendMessageA(g_progress.animation, ACM_STOP, 0, 0);
        return TRUE;

    case WM_CLOSE: EndProgressWindow(dialog); return TRUE;
    }
    return FALSE;
}

}  // namespace

void DispatchMessages(HWND dialog) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void OpenProgressWindow(int32_t totalBytes, std::atomic<int32_t>* abortState) {
    g_ui.abortState = abortState;
    HWND window = CreateDialogParamA(g_ui.resources, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                     ProgressWindowProc, totalBytes);
    if (window == nullptr) return;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    g_ui.progressWindow.store(window);
}
