// Process-wide state of a run of the self-extracting module: its settings,
// its outcome and what the extraction works with.  The one instance lives
// in state.cpp.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "app/command_line.h"
#include "base/in_place.h"
#include "archive/header.h"
#include "extract/output.h"
#include "extract/worker.h"
#include "package/sfx_config.h"

// RunSettings has the layout of the configuration block.
using RunSettings = SfxConfig;

// The process's exit code is what the run came to: 0, the launched
// command's own code when the module waited for it, or the Win32 error code
// of the first failure (docs/decisions.md lists them; ERROR_CANCELLED when
// the user cancelled or answered No).
struct ModuleState {
    HINSTANCE module;  // the module's own image: its headers and file name
    RunSettings runSettings;
    const DeployerSwitches* switches;  // the deployer's switches (SfxMain's frame)
    std::atomic<int32_t> abortState;  // lzh::kAbort*; never reset
    wchar_t destination[MAX_PATH];    // the destination, settled before the extraction starts
    lzh::WideNames wideNames;         // the header reader's exact names
    DWORD exitCode;                   // the first failure; see above
    int32_t tempFolderMade;           // destination is a private folder under %temp%
    // Set up by the run driver: the archive stream, header buffer, reader and
    // decoder (on the heap: its tables are large).  Between the start of the
    // worker and the join only the worker touches them.
    ExtractionJob job;
};

// All zero at start, so that it takes no file space (the image's .bss).
extern ModuleState g_state;

// g_state from a register.  Each absolute access to a global costs the
// relocatable module a base relocation; through this, a function that uses
// several fields pays for one.
inline ModuleState& State() {
    ModuleState* state = &g_state;
    asm("" : "+r"(state));
    return *state;
}
// The worker's output, made by the run driver before the decoder is.
extern InPlace<ProgressFileSink> g_outputSink;
