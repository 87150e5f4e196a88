// Process entry of the module.  There is no C runtime start-up: CRTDLL.dll
// initialises itself when it is loaded, and the module has no global
// constructors to run.
#include <windows.h>

#include "app/command_line.h"
#include "app/sfx_main.h"

extern "C" void WinMainCRTStartup() {
    const char* tail = CommandLineTail(GetCommandLineA());
    ExitProcess(static_cast<UINT>(SfxMain(GetModuleHandleA(nullptr), tail)));
}
