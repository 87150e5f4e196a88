#include "ui/messages.h"

#include "paths/text.h"
#include "ui/ui.h"

UiState g_ui{};
MessageBoxReporter g_reporter;

void LoadText(UINT id, char* buffer, int size) {
    if (LoadStringA(g_ui.resources, id, buffer, size) <= 0) buffer[0] = '\0';
}

int ShowStringMessage(HWND owner, UINT id, UINT type) {
    char text[kStringSize];
    LoadText(id, text, sizeof text);
    return ShowMessageBox(owner, text, kCaption, type);
}

int ShowStringMessageWith(HWND owner, UINT id, const char* text, UINT type) {
    char format[kStringSize];
    char message[kMessageSize];
    LoadText(id, format, sizeof format);
    FormatWithText(message, sizeof message, format, text);
    return ShowMessageBox(owner, message, kCaption, type);
}

HWND ProgressOwner() {
    // The handle outlives the window; a box with a stale owner would not show.
    HWND window = g_ui.progressWindow;
    return window != nullptr && IsWindow(window) ? window : nullptr;
}

void MessageBoxReporter::Report(const char* text) {
    if (!holding)
        ShowMessageBox(ProgressOwner(), text, kCaption, MB_ICONERROR);
    else if (held == nullptr)
        held = text;
}
