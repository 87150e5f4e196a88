// What the robot sees of other processes' windows, and how it touches them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct Control {
    HWND window;
    int id;
    std::wstring className;
    std::wstring text;
};

// Visible top-level windows, in Z order.
std::vector<HWND> VisibleTopLevelWindows();

// The text of a window of any process (WM_GETTEXT, with a time-out so that
// a hung process does not hang the robot).
std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);

// Dialogs and message boxes have the system dialog class "#32770".
bool IsDialogClass(HWND window);

// Every descendant control of a window, in creation order.
std::vector<Control> ControlsOf(HWND window);

// The texts of a dialog's static controls, joined by line breaks: the
// message of a message box.
std::wstring StaticTextsOf(HWND window);

// Whether a process with this image name (e.g. "sfx.exe", any case) runs.
bool ProcessRunning(const std::wstring& imageName);
