// Drives the module's dialogs from a helper thread, the way a user would:
// finds the dialog once it is shown, reads its controls, types, clicks and
// presses keys.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

// The first visible dialog (class #32770) owned by thread threadId, other
// than except; null when none appears within timeoutMs.
HWND WaitForDialog(DWORD threadId, HWND except = nullptr, int timeoutMs = 10000);

std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);

// A click on a push button, as the dialog receives it.
void ClickButton(HWND dialog, int id);
// A key pressed while window has the focus.
void PressKey(HWND window, UINT virtualKey);

// UTF-16 text in the system code page, as the module's ANSI calls see it.
std::string Ansi(const std::wstring& text);
bool JapaneseUi();

// Runs act on a helper thread as soon as a dialog of threadId is shown.  If
// the dialog is still open five seconds after act, it is cancelled so that a
// failing test cannot hang; finished() then reports false.
class DialogDriver {
public:
    DialogDriver(DWORD threadId, std::function<void(HWND)> act, HWND except = nullptr);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    void Join();
    bool found() const { return dialog_ != nullptr; }
    bool finished() const { return finished_; }

private:
    std::thread thread_;
    HWND dialog_ = nullptr;
    bool finished_ = false;
};

// Runs work on a second thread, as the extraction worker does, while the
// creating thread handles its own messages in PumpUntilDone.
class Worker {
public:
    explicit Worker(std::function<void()> work);
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    DWORD id() const { return id_; }
    // Returns once the work has ended; true when WM_QUIT arrived meanwhile.
    bool PumpUntilDone();

private:
    HANDLE started_;
    HANDLE done_;
    DWORD id_ = 0;
    std::thread thread_;
};
// Records the animation messages (ACM_PLAY, ACM_STOP) that reach a control,
// by subclassing it, and passes them on.  One recorder at a time.
class AnimationRecorder {
public:
    struct Call {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    explicit AnimationRecorder(HWND control);
    ~AnimationRecorder();
    AnimationRecorder(const AnimationRecorder&) = delete;
    AnimationRecorder& operator=(const AnimationRecorder&) = delete;

    std::vector<Call> calls() const;

private:
    static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
    HWND control_;
    WNDPROC original_;
    std::vector<Call> calls_;
    mutable CRITICAL_SECTION lock_;
};

// True when a WM_QUIT is waiting in the calling thread's queue (removes it).
bool TakeQuitMessage();
