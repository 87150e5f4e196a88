// The shell's folder browser behind dialog 102's "Browse..." button.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "res/resource.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
    // Preselect the folder typed so far; data is its path text.  The
    // message is the browser's own: its text is not converted, whichever
    // call sends it.
    if (message == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

int BrowseDestination(HWND owner, wchar_t* path, const wchar_t* initialPath) {
    wchar_t title[kStringSize];
    LoadText(IDS_BROWSE_TITLE, title, kStringSize);

    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = path;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = initialPath != nullptr ? BrowseCallback : nullptr;
    info.lParam = reinterpret_cast<LPARAM>(initialPath);

    // The new dialog style needs COM in a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    LPITEMIDLIST list = SHBrowseForFolderW(&info);
    int result = 0;
    if (list != nullptr) result = SHGetPathFromIDListW(list, path) ? 1 : 0;
    CoTaskMemFree(list);
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}
