// Process-wide state of the self-extracting module, shared by the run
// driver, the extraction worker and the user interface.  The one instance
// lives in state.cpp.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "app/sfx_config.h"

namespace lzh {
class Decoder;
class HeaderReader;
}  // namespace lzh

// RunSettings has the layout of the configuration block.

using RunSettings = SfxConfig;

// Run outcome polled by the worker and the decoder: 0 running, 100 the user
// cancelled, -1 a failure ended the extraction.  Never reset.
constexpr int32_t kAbortNone = 0;
constexpr int32_t kAbortCancelled = 100;
constexpr int32_t kAbortFailed = -1;

// Messages understood by the progress window.
constexpr UINT kProgressPos = 111;           // lParam: KiB written so far
constexpr UINT kAnimationPlay = WM_USER + 1;
constexpr UINT kAnimationStop = WM_USER + 2;

struct ModuleState {
    HINSTANCE module;                     // for resources and the own file's headers
    RunSettings runSettings;
    std::atomic<int32_t> abortState;
    HWND progressWindow;                  // dialog 120 while it exists
    int32_t newerOnly;                    // set by the "Newer" button, never cleared

    // Set up by the run driver before the worker starts; between the scan
    // and the join only the worker touches them.
    FILE* archive;                        // archive stream, fopen "rb"
    FILE* output;                         // file being written, null between entries
    uint8_t* headerBuffer;                // 65,536 bytes: scan window, then header work area
    lzh::HeaderReader* reader;            // header of the entry read last
    lzh::Decoder* decoder;                // on the heap: its tables are large
    int32_t tempFolderMade;               // destination is a private folder under %temp%
};

extern ModuleState g_state;
