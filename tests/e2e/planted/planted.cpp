// A stand-in for a library or program that an attacker plants beside a
// package: when it runs, it leaves NAME.ran beside itself (NAME being its
// own file name) and does nothing else.  Built as a DLL (PLANTED_DLL) and as
// a program.
#include <windows.h>

namespace {

void LeaveMarker(HMODULE self) {
    char path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    lstrcatA(path, ".ran");
    HANDLE marker =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
}

}  // namespace

#ifdef PLANTED_DLL
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
    return TRUE;
}
#else
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    LeaveMarker(nullptr);
    return 0;
}
#endif
