#include "window_driver.h"

#include <cstring>
#include <vector>

#include <commctrl.h>

namespace {

struct Search {
    HWND except;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    char className[16];
    if (window != search->except && IsWindowVisible(window) &&
        GetClassNameA(window, className, sizeof className) > 0 && strcmp(className, "#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND WaitForDialog(DWORD threadId, HWND except, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        Search search = {except, nullptr};
        EnumThreadWindows(threadId, FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            Sleep(50);  // let WM_INITDIALOG's work and the first paint finish
            return search.found;
        }
        Sleep(20);
    }
    return nullptr;
}

std::string ItemText(HWND dialog, int id) {
    char text[1024];
    text[0] = '\0';
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void SetItemText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

void ClickButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressKey(HWND window, UINT virtualKey) {
    PostMessageA(window, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(window, WM_KEYUP, virtualKey, 0xC0000001);
}

std::string Ansi(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> buffer(size > 0 ? size : 1);
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer.data(), size, nullptr, nullptr);
    return buffer.data();
}

bool JapaneseUi() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE; }

DialogDriver::DialogDriver(DWORD threadId, std::function<void(HWND)> act, HWND except)
    : thread_([this, threadId, act, except] {
          dialog_ = WaitForDialog(threadId, except);
          if (dialog_ == nullptr) return;
          act(dialog_);
          for (int waited = 0; waited < 5000; waited += 20) {
              if (!IsWindow(dialog_) || !IsWindowVisible(dialog_)) {
                  finished_ = true;
                  return;
              }
              Sleep(20);
          }
          PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
      }) {}

DialogDriver::~DialogDriver() { Join(); }

void DialogDriver::Join() {
    if (thread_.joinable()) thread_.join();
}

Worker::Worker(std::function<void()> work)
    : started_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread_([this, work] {
          id_ = GetCurrentThreadId();
          SetEvent(started_);
          work();
          SetEvent(done_);
      }) {
    WaitForSingleObject(started_, INFINITE);
}

Worker::~Worker() {
    PumpUntilDone();
    thread_.join();
    CloseHandle(started_);
    CloseHandle(done_);
}

bool Worker::PumpUntilDone() {
    bool quit = false;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (MsgWaitForMultipleObjects(1, &done_, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) return quit;
    }
}

bool TakeQuitMessage() {
    MSG message;
    bool quit = false;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            quit = true;
        else
            DispatchMessageA(&message);
    }
    return quit;
}

namespace {
AnimationRecorder* g_recorder = nullptr;
}

AnimationRecorder::AnimationRecorder(HWND control) : control_(control) {
    InitializeCriticalSection(&lock_);
    g_recorder = this;
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure)));
}

AnimationRecorder::~AnimationRecorder() {
    if (IsWindow(control_)) SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    g_recorder = nullptr;
    DeleteCriticalSection(&lock_);
}

std::vector<AnimationRecorder::Call> AnimationRecorder::calls() const {
    EnterCriticalSection(&lock_);
    std::vector<Call> copy = calls_;
    LeaveCriticalSection(&lock_);
    return copy;
}

LRESULT CALLBACK AnimationRecorder::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    AnimationRecorder* self = g_recorder;
    if (message == ACM_PLAY || message == ACM_STOP) {
        EnterCriticalSection(&self->lock_);
        self->calls_.push_back({message, wParam, lParam});
        LeaveCriticalSection(&self->lock_);
    }
    return CallWindowProcA(self->original_, window, message, wParam, lParam);
}
