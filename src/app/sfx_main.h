// Start of a run: common controls, start values of the run settings, the
// command line, then the run driver.
#pragma once

#include <windows.h>

// Always returns 0: the process exit code does not tell the run's outcome.
int SfxMain(HINSTANCE module, const char* tail);
