// Dialog 102, "Confirm Extracting": the user confirms or edits the
// destination folder before anything is extracted.  It edits the caller's
// destination text in place.
#include <windows.h>

#include "res/resource.h"
#include "ui/archive_folder.h"
#include "ui/ui.h"

namespace {

// The text being edited (MAX_PATH bytes) and the archive's name without
// extension, for the check box; set while the dialog is open.
char* g_destination;
const char* g_archiveName;

void ReadDestination(HWND dialog) { GetDlgItemTextA(dialog, IDC_DESTINATION, g_destination, MAX_PATH); }

INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_archiveName = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
        SetDlgItemTextA(dialog, IDC_DESTINATION, g_destination);
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
            if (BrowseDestination(dialog, g_destination, g_destination))
                SetDlgItemTextA(dialog, IDC_DESTINATION, g_destination);
            return TRUE;
        case IDC_ARCHIVE_FOLDER:
            // An automatic check box: the click has already changed its state.
            ReadDestination(dialog);
            ApplyArchiveFolder(g_destination, MAX_PATH, g_archiveName,
                               IsDlgButtonChecked(dialog, IDC_ARCHIVE_FOLDER) == BST_CHECKED);
            SetDlgItemTextA(dialog, IDC_DESTINATION, g_destination);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

int32_t AskDestination(char* destination, const char* archiveName) {
    g_destination = destination;
    return static_cast<int32_t>(DialogBoxParamA(g_ui.resources, MAKEINTRESOURCEA(IDD_DESTINATION), nullptr,
                                                DestinationDialogProc,
                                                reinterpret_cast<LPARAM>(archiveName)));
}
