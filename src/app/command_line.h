// The process's command line: the tail after the program's own name, the
// switches /D, /E:, /H, /N, /O with an optional archive path, and the
// deployer's switches /S, /T:, /L:, /C, /A:, /?.
#pragma once

#include <windows.h>

#include <cstdint>

// Units of the parser's working copy of the tail; a longer tail is cut.
constexpr int kCommandLineCopySize = 512;

// The deployer's switches.  Unlike the older ones they win over the
// configuration block, in both modes.  Values are empty when not given.
struct DeployerSwitches {
    int32_t silent;       // /S: no window of any kind; every answer the default
    int32_t extractOnly;  // /C: no command, no removal, no Explorer
    int32_t showHelp;     // /?: list the switches and end
    int32_t tooLong;      // the tail or a value did not fit its buffer: the run ends
    wchar_t destination[MAX_PATH];             // /T:DIR, folder tokens allowed
    wchar_t logPath[MAX_PATH];                 // /L:FILE
    wchar_t arguments[kCommandLineCopySize];   // /A:ARGS, appended to the command
};

// Skips the program name (quoted, or up to the first blank or control
// character) and the blanks after it.  The result points into commandLine.
const wchar_t* CommandLineTail(const wchar_t* commandLine);

// Sets g_state.runSettings (/E:'s command in the code page) and switches
// (zeroed by the caller) from the switches in tail, a destination given
// after the archive's path to g_state.destination, and writes the archive
// path, possibly empty, into archivePath (MAX_PATH units).  Returns 1 when
// the run is to go on, 0 when a named archive does not exist or is a folder.
int ParseCommandLine(const wchar_t* tail, wchar_t* archivePath, DeployerSwitches& switches);
