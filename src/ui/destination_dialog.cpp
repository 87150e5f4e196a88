// Dialog 102, "Confirm Extracting": the user confirms or edits the
// destination folder before anything is extracted.  It edits
// g_state.runSettings.destination directly.
#include <windows.h>

#include "app/state.h"
#include "res/resource.h"
#include "ui/archive_folder.h"
#include "ui/ui.h"

namespace {

// The archive's name without extension, for the check box; set while the
// dialog is open.
const char* g_archiveName = "";

char* Destination() {
    return g_state.runSettings.destination;
}

void ReadDestination(HWND dialog) {
    GetDlgItemTextA(dialog, IDC_DESTINATION, Destination(),
                    sizeof g_state.runSettings.destination);
}

}  // namespace

INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_archiveName = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
        SetDlgItemTextA(dialog, IDC_DESTINATION, Destination());
        return TRUE;

    case WM_COMMAND:
        switch (wParam) {
        case IDOK:
            ReadDestination(dialog);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_BROWSE:
            ReadDestination(dialog);
            if (BrowseDestination(dialog, Destination(), Destination()))
                SetDlgItemTextA(dialog, IDC_DESTINATION, Destination());
            return TRUE;
        case IDC_ARCHIVE_FOLDER:
            // An automatic check box: the click has already changed its state.
            ReadDestination(dialog);
            ApplyArchiveFolder(Destination(), sizeof g_state.runSettings.destination,
                               g_archiveName,
                               IsDlgButtonChecked(dialog, IDC_ARCHIVE_FOLDER) == BST_CHECKED);
            SetDlgItemTextA(dialog, IDC_DESTINATION, Destination());
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

int32_t AskDestination(const char* archiveName) {
    return static_cast<int32_t>(DialogBoxParamA(g_state.module,
                                                MAKEINTRESOURCEA(IDD_DESTINATION), nullptr,
                                                DestinationDialogProc,
                                                reinterpret_cast<LPARAM>(archiveName)));
}
