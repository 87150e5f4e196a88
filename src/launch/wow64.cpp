#include "launch/wow64.h"

#include <windows.h>

namespace {

using EnableRedirectionCall = BOOLEAN(WINAPI*)(BOOLEAN);
using IsWow64ProcessCall = BOOL(WINAPI*)(HANDLE, PBOOL);

// Looked up on the first call, once; a failed lookup is not retried.
struct Wow64Calls {
    bool lookedUp;
    HMODULE kernel;
    EnableRedirectionCall enableRedirection;
};
Wow64Calls calls;

template <typename Call>
Call Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

int Wow64Redirection(int mode) {
    if (!calls.lookedUp) {
        calls.lookedUp = true;
        calls.kernel = GetModuleHandleA("kernel32");
        if (calls.kernel != nullptr)
            calls.enableRedirection =
                Lookup<EnableRedirectionCall>(calls.kernel, "Wow64EnableWow64FsRedirection");
    }
    // Without the switch there is nothing to control, whatever the system.
    if (calls.enableRedirection == nullptr) return 0;
    if (mode != kWow64Query) return calls.enableRedirection(static_cast<BOOLEAN>(mode));

    // Not kept: a run asks only once.
    auto isWow64Process = Lookup<IsWow64ProcessCall>(calls.kernel, "IsWow64Process");
    HANDLE currentProcess = reinterpret_cast<HANDLE>(-1);  // what GetCurrentProcess() returns
    BOOL wow64 = FALSE;
    if (isWow64Process == nullptr || !isWow64Process(currentProcess, &wow64)) return 0;
    return wow64 ? 1 : 0;
}
