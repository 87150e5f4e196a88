#include "launch/pending.h"

// not built yet
uint32_t CheckArchiveCrc(HWND, HINSTANCE, uint32_t) { return 1; }

// not built yet
void LaunchAndWait(const char*, const char*, int32_t) {}

// not built yet
void AppendExtractedFile(const char*) {}

// not built yet
void RemoveExtractedFiles(const char*, int32_t) {}

// not built yet
void ReleaseExtractedFileList() {}

// Only the query is built; switching redirection is not built yet.
int Wow64Redirection(int mode) {
    if (mode != kWow64Query) return 0;
    using IsWow64ProcessCall = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto isWow64Process =
        reinterpret_cast<IsWow64ProcessCall>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    if (isWow64Process == nullptr || !isWow64Process(GetCurrentProcess(), &wow64)) return 0;
    return wow64 ? 1 : 0;
}
