// After-extraction step that the run driver calls: launching the
// configured command.
#pragma once

#include <windows.h>

#include <cstdint>

// Starts command in destination; with removeAfterRun, waits for it and for
// the installer windows it leaves.
void LaunchAndWait(const char* command, const char* destination, int32_t removeAfterRun);
