#include "ui/messages.h"

#include "paths/text.h"
#include "ui/ui.h"

UiState g_ui{};
InPlace<MessageBoxReporter> g_reporter;

void LoadText(UINT id, wchar_t* buffer, int size) {
    if (LoadStringW(g_ui.resources, id, buffer, size) <= 0) buffer[0] = L'\0';
}

int ShowStringMessage(HWND owner, UINT id, UINT type) {
    wchar_t text[kStringSize];
    LoadText(id, text, kStringSize);
    return ShowMessageBox(owner, text, kCaption, type);
}

int ShowStringMessageWith(HWND owner, UINT id, const wchar_t* text, UINT type, const wchar_t* caption) {
    wchar_t format[kLongStringSize];  // the CRC-32 warning is long in Japanese
    wchar_t message[kMessageSize];
    LoadText(id, format, kLongStringSize);
    FormatWithText(message, kMessageSize, format, text);
    return ShowMessageBox(owner, message, caption, type);
}

HWND ProgressOwner() {
    // The handle outlives the window; a box with a stale owner would not show.
    HWND window = g_ui.progressWindow;
    return window != nullptr && IsWindow(window) ? window : nullptr;
}

void MessageBoxReporter::Report(const char* text) {
    if (!holding)
        ShowMessageBox(ProgressOwner(), ToWide(text), kCaption, MB_ICONERROR);
    else if (held == nullptr)
        held = text;
}
