// Process entry of the module.  There is no C runtime start-up: the module
// links no runtime library and has no global constructors to run.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "app/command_line.h"
#include "app/sfx_main.h"

// The image's load configuration (data directory 10, filled in after the
// link from this symbol: cmake/sfx-module-finish.py).  The loader reads it
// before any of the module's code runs: from Windows 10 1607 on,
// DependentLoadFlags has the libraries the module imports statically taken
// from the system folder only, COMCTL32 too when its side-by-side assembly
// is not found.  The structure ends before the SafeSEH fields: the image is
// linked --no-seh, as the module registers no exception handler.  It lies
// with the read-only data in .text.
struct LoadConfiguration {
    uint32_t size;          // the bytes the loader may read: this structure
    uint32_t defaults[12];  // time stamp, version, heap and lock settings: zero
    uint16_t csdVersion;
    uint16_t dependentLoadFlags;
    uint32_t editList;
    uint32_t securityCookie;
};
static_assert(sizeof(LoadConfiguration) == 0x40 && offsetof(LoadConfiguration, dependentLoadFlags) == 0x36);

extern "C" __attribute__((used, section(".rdata$load_config"))) const LoadConfiguration _load_config_used = {
    sizeof(LoadConfiguration), {}, 0, LOAD_LIBRARY_SEARCH_SYSTEM32, 0, 0};

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
    const wchar_t* tail = CommandLineTail(GetCommandLineW());
    ExitProcess(static_cast<UINT>(SfxMain(GetModuleHandleA(nullptr), tail)));
}
