// Entry of the UI tests: the dialog code finds its resources through
// g_state.module, which is this program.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/state.h"

namespace {

// Under Wine without a window manager every closed window costs a two-second
// wait unless Wine manages the windows itself.  Set for this program only,
// before its first window makes Wine read the option.
void AvoidCloseDelayUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr)
        return;
    char key[MAX_PATH];
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* name = strrchr(path, '\\');
    wsprintfA(key, "Software\\Wine\\AppDefaults\\%s\\X11 Driver", name != nullptr ? name + 1 : path);
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(handle, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(handle);
    }
}

}  // namespace

int main(int argc, char** argv) {
    AvoidCloseDelayUnderWine();
    InitCommonControls();
    g_state.module = GetModuleHandleA(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
