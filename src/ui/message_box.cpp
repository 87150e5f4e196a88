#include "ui/messages.h"
#include "ui/run_log.h"
#include "ui/ui.h"

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    LogLine(kLogMessage, text);
    // Silent runs take the answer that goes on.
    if (g_ui.silent) return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    return MessageBoxW(owner, text, caption, type);
}
