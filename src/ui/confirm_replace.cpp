// Dialog 119, "Confirm File Replace": asked on the worker thread when a file
// to be written already exists.  Owned by the progress window, whose
// animation pauses meanwhile.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "paths/text.h"
#include "res/resource.h"
#include "ui/ui.h"

namespace {

constexpr int kPromptFormatUnits = 64;
constexpr int kPromptUnits = 520;
constexpr int kLineUnits = 256;

// Sets one size-and-date line; a zero (unknown) time leaves it empty.
void ShowFileLine(HWND dialog, int control, uint32_t dosDateTime, uint32_t size) {
    if (dosDateTime == 0) return;
    wchar_t format[kLineUnits];
    if (FormatDateLine(dosDateTime, format, kLineUnits) == 0) return;
    wchar_t sizeText[kThousandsSize];
    FormatThousands(size, sizeText);
    // The line is shorter than kLineUnits, the size at most 13 characters.
    wchar_t line[kLineUnits + kThousandsSize];
    FormatText(line, format, sizeText);
    SetDlgItemTextW(dialog, control, line);
}

void InitDialog(HWND dialog, const ReplaceInfo* info) {
    const wchar_t* name = std::wcsrchr(info->path, L'\\') + 1;  // a full path

    // Control 117 holds the prompt as a format for the file name.
    wchar_t format[kPromptFormatUnits];
    GetDlgItemTextW(dialog, IDC_REPLACE_PROMPT, format, kPromptFormatUnits);
    wchar_t prompt[kPromptUnits];
    FormatWithText(prompt, kPromptUnits, format, name);
    SetDlgItemTextW(dialog, IDC_REPLACE_PROMPT, prompt);

    // One shell icon of the file stands beside both lines.
    SHFILEINFOW fileInfo = {};
    if (SHGetFileInfoW(info->path, 0, &fileInfo, sizeof fileInfo, SHGFI_ICON) != 0 &&
        fileInfo.hIcon != nullptr) {
        SendDlgItemMessageA(dialog, IDC_EXISTING_ICON, STM_SETICON, reinterpret_cast<WPARAM>(fileInfo.hIcon),
                            0);
        SendDlgItemMessageA(dialog, IDC_ENTRY_ICON, STM_SETICON, reinterpret_cast<WPARAM>(fileInfo.hIcon), 0);
    }

    ShowFileLine(dialog, IDC_EXISTING_LINE, info->existingTime, info->existingSize);
    ShowFileLine(dialog, IDC_ENTRY_LINE, info->entryTime, info->entrySize);
}

// Static controls do not own their icons: destroy them here, the shared one
// only once.
void DestroyIcons(HWND dialog) {
    HICON existing =
        reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, IDC_EXISTING_ICON, STM_GETICON, 0, 0));
    HICON entry = reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, IDC_ENTRY_ICON, STM_GETICON, 0, 0));
    if (existing != nullptr) DestroyIcon(existing);
    if (entry != nullptr && entry != existing) DestroyIcon(entry);
}

INT_PTR CALLBACK ConfirmReplaceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: InitDialog(dialog, reinterpret_cast<const ReplaceInfo*>(lParam)); return TRUE;

    case WM_COMMAND:
        switch (wParam) {
        case IDYES: EndDialog(dialog, IDYES); return TRUE;
        case IDNO: EndDialog(dialog, IDNO); return TRUE;
        case IDC_YES_TO_ALL: EndDialog(dialog, kReplaceAll); return TRUE;
        case IDC_NEWER: EndDialog(dialog, kReplaceNewer); return TRUE;
        case IDC_CANCEL_RUN:
        case IDCANCEL:  // Escape and the close box
            SendMessageA(g_ui.progressWindow, WM_CLOSE, 0, 0);
            EndDialog(dialog, kReplaceCancel);
            return TRUE;
        }
        return FALSE;

    case WM_DESTROY: DestroyIcons(dialog); return FALSE;
    }
    return FALSE;
}

}  // namespace

int32_t ConfirmReplace(const ReplaceInfo* info) {
    HWND owner = g_ui.progressWindow;
    SendMessageA(owner, kAnimationStop, 0, 0);
    const INT_PTR result = DialogBoxParamW(g_ui.resources, MAKEINTRESOURCEW(IDD_CONFIRM_REPLACE), owner,
                                           ConfirmReplaceProc, reinterpret_cast<LPARAM>(info));
    SendMessageA(owner, kAnimationPlay, 0, 0);

    switch (result) {
    case IDYES:
    case IDNO:
    case kReplaceAll:
    case kReplaceNewer: return static_cast<int32_t>(result);
    default:  // cancelled, or the dialog could not be shown
        return kReplaceCancel;
    }
}
