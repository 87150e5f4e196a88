#include "app/sfx_main.h"

#include <commctrl.h>

#include <cstring>

#include "app/command_line.h"
#include "app/run_archive.h"
#include "app/state.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/run_log.h"
#include "ui/ui.h"

namespace {

// The box of /?, sized for the list of switches.
constexpr int kSwitchesTextSize = 768;

// A frame of its own: the switches stay in SfxMain's, and no frame may reach
// a page (the module has no stack probes).
__attribute__((noinline)) DWORD StartRun(const wchar_t* tail, DeployerSwitches& switches) {
    // Empty: extract the archive attached to this executable.
    wchar_t archivePath[MAX_PATH] = L"";
    const int found = tail[0] == L'\0' || ParseCommandLine(tail, archivePath, switches);
    g_ui.silent = switches.silent;
    if (switches.logPath[0] != L'\0' && OpenRunLog(switches.logPath)) LogLine(kLogStart, tail);
    if (switches.showHelp) {
        wchar_t text[kSwitchesTextSize];
        LoadText(IDS_SWITCHES, text, kSwitchesTextSize);
        ShowMessageBox(nullptr, text, kCaption, MB_ICONINFORMATION);
        return 0;
    }
    if (switches.tooLong) {
        ShowStringMessage(nullptr, IDS_COMMAND_LINE_TOO_LONG, MB_ICONERROR);
        return ERROR_FILENAME_EXCED_RANGE;
    }
    if (!found) {
        ShowStringMessage(nullptr, IDS_CANNOT_OPEN_ARCHIVE, MB_ICONERROR);
        return ERROR_FILE_NOT_FOUND;
    }
    return RunArchive(archivePath);
}

}  // namespace

DWORD SfxMain(HINSTANCE module, const wchar_t* tail) {
    InitCommonControls();
    g_state.module = module;
    g_ui.resources = module;
    RunSettings& settings = g_state.runSettings;
    std::memset(&settings, 0, sizeof settings);
    settings.openFolder = 1;

    DeployerSwitches switches{};
    g_state.switches = &switches;
    const DWORD exitCode = StartRun(tail, switches);
    LogLine(kLogExit, exitCode);
    return exitCode;
}
