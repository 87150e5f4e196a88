// Shows one of the module's dialogs with sample data until it is closed or
// a time runs out, for screenshots:
//
//   ui_demo 102|102browse|103|119|120 [SECONDS]
//
// Prints "shown" once the dialog is on screen.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/lha_format.h"
#include "res/resource.h"
#include "ui/ui.h"
#include "wine_options.h"

namespace {

int g_seconds = 5;

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    return lzh::PackDosTime({static_cast<unsigned>(year), static_cast<unsigned>(month),
                             static_cast<unsigned>(day), static_cast<unsigned>(hour),
                             static_cast<unsigned>(minute), static_cast<unsigned>(second)});
}

// Announces the dialog once its first paint is done, and ends it when the
// time is up.
VOID CALLBACK Announce(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    printf("shown\n");
    fflush(stdout);
}

VOID CALLBACK TimeUp(HWND, UINT, UINT_PTR, DWORD) { ExitProcess(0); }

std::atomic<int32_t> g_abortState;

void StartTimers() {
    SetTimer(nullptr, 0, 700, Announce);
    SetTimer(nullptr, 0, g_seconds * 1000, TimeUp);
}

void PumpUntilQuit() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(g_ui.progressWindow, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void ShowDestination(bool browse) {
    wchar_t destination[MAX_PATH] = L"C:\\Program Files\\Sample Tool";
    StartTimers();
    if (browse) {
        wchar_t path[MAX_PATH] = L"C:\\windows";
        BrowseDestination(nullptr, path, path);
    } else {
        AskDestination(destination, L"sample-tool");
    }
}

void ShowCrcCheck() {
    HWND dialog = CreateDialogParamA(g_ui.resources, MAKEINTRESOURCEA(IDD_CRC_CHECK), nullptr, nullptr, 0);
    if (dialog == nullptr) return;
    ShowWindow(dialog, SW_SHOW);
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 40, 0);
    UpdateWindow(dialog);
    StartTimers();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}

void ShowProgress() {
    OpenProgressWindow(10 << 20, &g_abortState);
    SendMessageA(g_ui.progressWindow, kProgressPos, reinterpret_cast<WPARAM>(L"sample\\docs\\readme.txt"),
                 4 * 1024);
    StartTimers();
    PumpUntilQuit();
}

void ShowConfirmReplace() {
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    strcat(path, "readme.txt");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(file);
    OpenProgressWindow(10 << 20, &g_abortState);
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH);
    const ReplaceInfo info = {widePath, DosDateTime(2024, 1, 2, 10, 20, 30), DosDateTime(2024, 3, 1, 8, 15, 0),
                              1234567, 1250000};
    StartTimers();
    ConfirmReplace(&info);
    DeleteFileA(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: ui_demo 102|102browse|103|119|120 [SECONDS]\n");
        return 2;
    }
    if (argc > 2) g_seconds = atoi(argv[2]) > 0 ? atoi(argv[2]) : g_seconds;
    UseUnmanagedWindowsUnderWine();
    InitCommonControls();
    g_ui.resources = GetModuleHandleA(nullptr);

    const char* which = argv[1];
    if (strcmp(which, "102") == 0)
        ShowDestination(false);
    else if (strcmp(which, "102browse") == 0)
        ShowDestination(true);
    else if (strcmp(which, "103") == 0)
        ShowCrcCheck();
    else if (strcmp(which, "119") == 0)
        ShowConfirmReplace();
    else if (strcmp(which, "120") == 0)
        ShowProgress();
    else
        return 2;
    return 0;
}
