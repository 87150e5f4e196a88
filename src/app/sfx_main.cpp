#include "app/sfx_main.h"

#include <commctrl.h>

#include <cstring>

#include "app/command_line.h"
#include "app/run_archive.h"
#include "app/state.h"
#include "ui/ui.h"

int SfxMain(HINSTANCE module, const char* tail) {
    InitCommonControls();
    g_state.module = module;
    g_ui.resources = module;
    RunSettings& settings = g_state.runSettings;
    std::memset(&settings, 0, sizeof settings);
    settings.openFolder = 1;

    // Empty: extract the archive attached to this executable.
    char archivePath[MAX_PATH] = "";
    if (tail[0] != '\0' && !ParseCommandLine(tail, archivePath)) return 0;
    RunArchive(archivePath);
    return 0;
}
