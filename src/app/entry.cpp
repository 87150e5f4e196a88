// Process entry of the module.  There is no C runtime start-up: the module
// links no runtime library and has no global constructors to run.
#include <windows.h>

#include "app/command_line.h"
#include "app/sfx_main.h"

namespace {

// From here on the process loads libraries from the system folder only:
// the package usually lies in a Downloads folder, where a planted library
// of a system name would otherwise run with the package's rights.  Systems
// without the call (before Windows 8 and KB2533623) keep their search; the
// module itself loads no library by name.
void RestrictLibrarySearch() {
    using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
    const auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "SetDefaultDllDirectories")));
    if (setDirectories != nullptr) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

extern "C" void WinMainCRTStartup() {
    RestrictLibrarySearch();
    const char* tail = CommandLineTail(GetCommandLineA());
    ExitProcess(static_cast<UINT>(SfxMain(GetModuleHandleA(nullptr), tail)));
}
