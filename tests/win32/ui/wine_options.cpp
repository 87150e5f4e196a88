#include "wine_options.h"

#include <windows.h>

#include <cstring>

void UseUnmanagedWindowsUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) return;
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* name = strrchr(path, '\\');
    char key[MAX_PATH + 64];
    wsprintfA(key, "Software\\Wine\\AppDefaults\\%s\\X11 Driver", name != nullptr ? name + 1 : path);
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExA(handle, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(handle);
    }
}
