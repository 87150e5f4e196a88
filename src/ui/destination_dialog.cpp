// Dialog 102, "Confirm Extracting": the user confirms or edits the
// destination folder before anything is extracted.  It edits the caller's
// destination text in place.
#include <windows.h>

#include "res/resource.h"
#include "ui/archive_folder.h"
#include "ui/ui.h"

namespace {

// The text being edited (MAX_PATH units) and the archive's name without
// extension, for the check box; set while the dialog is open.
wchar_t* g_destination;
const wchar_t* g_archiveName;

void ReadDestination(HWND dialog) { GetDlgItemTextW(dialog, IDC_DESTINATION, g_destination, MAX_PATH); }

void ShowDestination(HWND dialog) { SetDlgItemTextW(dialog, IDC_DESTINATION, g_destination); }

INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_archiveName = lParam != 0 ? reinterpret_cast<const wchar_t*>(lParam) : L"";
        ShowDestination(dialog);
        return TRUE;

    case WM_COMMAND:
        switch (wParam) {
        case IDOK:
            ReadDestination(dialog);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        case IDC_BROWSE:
            ReadDestination(dialog);
            if (BrowseDestination(dialog, g_destination, g_destination)) ShowDestination(dialog);
            return TRUE;
        case IDC_ARCHIVE_FOLDER:
            // An automatic check box: the click has already changed its state.
            ReadDestination(dialog);
            ApplyArchiveFolder(g_destination, MAX_PATH, g_archiveName,
                               IsDlgButtonChecked(dialog, IDC_ARCHIVE_FOLDER) == BST_CHECKED);
            ShowDestination(dialog);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

int32_t AskDestination(wchar_t* destination, const wchar_t* archiveName) {
    g_destination = destination;
    // A Unicode dialog: its edit field holds a name in any script.
    return static_cast<int32_t>(DialogBoxParamW(g_ui.resources, MAKEINTRESOURCEW(IDD_DESTINATION), nullptr,
                                                DestinationDialogProc,
                                                reinterpret_cast<LPARAM>(archiveName)));
}
