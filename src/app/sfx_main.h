// Start of a run: common controls, start values of the run settings, the
// command line, then the run driver.
#pragma once

#include <windows.h>

// Returns the process's exit code: 0, the launched command's own code, or
// the Win32 error code of the first failure (see ModuleState).
DWORD SfxMain(HINSTANCE module, const wchar_t* tail);
