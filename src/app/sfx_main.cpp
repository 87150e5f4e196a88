#include "app/sfx_main.h"

#include <commctrl.h>

#include <cstring>

#include "app/command_line.h"
#include "app/run_archive.h"
#include "app/state.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/ui.h"

DWORD SfxMain(HINSTANCE module, const char* tail) {
    InitCommonControls();
    g_state.module = module;
    g_ui.resources = module;
    RunSettings& settings = g_state.runSettings;
    std::memset(&settings, 0, sizeof settings);
    settings.openFolder = 1;

    // Empty: extract the archive attached to this executable.
    char archivePath[MAX_PATH] = "";
    if (tail[0] != '\0' && !ParseCommandLine(tail, archivePath)) {
        ShowStringMessage(nullptr, IDS_CANNOT_OPEN_ARCHIVE, MB_ICONERROR);
        return ERROR_FILE_NOT_FOUND;
    }
    return RunArchive(archivePath);
}
