#include "desktop.h"

#include <tlhelp32.h>

namespace {

constexpr UINT kMessageTimeoutMs = 2000;

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM list) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> VisibleTopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return {};
    text.resize(copied < text.size() ? copied : text.size() - 1);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256];
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

bool IsDialogClass(HWND window) { return ClassOf(window) == L"#32770"; }

std::vector<Control> ControlsOf(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    std::vector<Control> controls;
    for (HWND child : children)
        controls.push_back({child, GetDlgCtrlID(child), ClassOf(child), TextOf(child)});
    return controls;
}

std::wstring StaticTextsOf(HWND window) {
    std::wstring joined;
    for (const Control& c : ControlsOf(window)) {
        if (_wcsicmp(c.className.c_str(), L"Static") != 0 || c.text.empty()) continue;
        if ((GetWindowLongW(c.window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        if (!joined.empty()) joined += L'\n';
        joined += c.text;
    }
    return joined;
}

bool ProcessRunning(const std::wstring& imageName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry))
        found = _wcsicmp(entry.szExeFile, imageName.c_str()) == 0;
    CloseHandle(snapshot);
    return found;
}
