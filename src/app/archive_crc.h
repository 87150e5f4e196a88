// Whole-archive CRC-32 check: before anything is extracted, every byte
// behind the configuration block is checked against the block's
// expectedCrc, while dialog 103 shows the progress of a check that lasts.
#pragma once

#include <windows.h>

#include <cstdint>

// The bar of dialog 103 moves one step per this many bytes.  It is set at
// most every 50 ms during the check, and once at its end.
constexpr uint32_t kCrcProgressUnit = 102400;

// Dialog 103 appears once the check has run this long: most packages are
// checked sooner (over 1 GB/s) and open no window for it.
constexpr DWORD kCrcDialogDelay = 250;  // ms

// CRC-32 of the module's file (at path, as the run opened it) from the end
// of its configuration block to the end of the file, or to its certificate
// table when it is signed.  Returns it when expected is 0 or equal to it.
// Returns 0 after a warning (string-table entry 8, captioned "Warning") when
// it differs, and 0 without a word when the file cannot be opened.
uint32_t CheckArchiveCrc(HWND owner, HINSTANCE module, const wchar_t* path, uint32_t expected);

// The same over the file at path from byte offset start up to offset end
// (0: the end of the file); the warning names path.  The dialog appears
// after dialogDelay ms (0: at the first update).
uint32_t CheckFileCrc(HWND owner, const wchar_t* path, uint32_t start, uint32_t end, uint32_t expected,
                      DWORD dialogDelay = kCrcDialogDelay);
