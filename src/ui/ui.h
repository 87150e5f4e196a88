// The module's dialogs: overwrite confirmation (119), progress window (120)
// and destination dialog (102) with the folder browser.  Resource ids are in
// res/resource.h.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// The user interface's process-wide state.
struct UiState {
    HINSTANCE resources;               // the module whose dialogs and texts are shown
    std::atomic<HWND> progressWindow;  // dialog 120 once made (the worker reads it meanwhile)
    std::atomic<int32_t>* abortState;  // set to "cancelled" by the progress window
    int32_t silent;                    // /S: no window of any kind is shown
    HANDLE log;                        // the run's log (ui/run_log.h), or null
};

extern UiState g_ui;

// Messages understood by the progress window.
constexpr UINT kProgressPos = 111;  // lParam: KiB written so far; wParam: a new entry name (UTF-16) or null
constexpr UINT kAnimationPlay = WM_USER + 1;
constexpr UINT kAnimationStop = WM_USER + 2;

// ---- Overwrite confirmation, dialog 119 (runs on the worker thread) ----

// What the worker knows about a file it is about to replace.  Times are
// MS-DOS date/time values, local time, date in the high 16 bits; 0 means
// unknown and shows no line.
struct ReplaceInfo {
    const wchar_t* path;    // full output path of the existing file
    uint32_t existingTime;  // last write of the existing file
    uint32_t entryTime;     // the entry's time stamp
    uint32_t existingSize;  // low 32 bits of the existing file's size
    uint32_t entrySize;     // the entry's unpacked size
};

// Results of ConfirmReplace besides IDYES (6) and IDNO (7).
constexpr int32_t kReplaceAll = 100;    // replace this and every later file
constexpr int32_t kReplaceNewer = 101;  // from now on replace only older files, this one too
constexpr int32_t kReplaceCancel = -1;  // end the run; the progress window is closing

// Shows dialog 119 owned by the progress window (if it exists yet), with its animation stopped
// meanwhile.  Returns 6 replace, 7 keep, 100 replace all, 101 newer only,
// -1 cancel (also when the dialog cannot be created).
int32_t ConfirmReplace(const ReplaceInfo* info);

// Fills output (outputSize units) with the date line of string entry 9 for
// an MS-DOS date/time; the line still holds one "%s" for the size text.
// Returns its length, 0 on failure.
int FormatDateLine(uint32_t dosDateTime, wchar_t* output, int outputSize);

// Decimal digits of n with ',' between groups of three ("4,294,967,295")
// into output (kThousandsSize units).
constexpr int kThousandsSize = 16;
void FormatThousands(uint32_t n, wchar_t* output);

// ---- Progress window, dialog 120 (main thread) ----

// Creates and shows the modeless progress window; totalBytes / 1024 is the
// bar's range.  The handle goes to g_ui.progressWindow (stays null on
// failure).  Cancel and the close box set *abortState to "cancelled"; the
// close box and WM_CLOSE destroy the window.  It understands kProgressPos,
// kAnimationPlay, kAnimationStop and WM_CLOSE.
void OpenProgressWindow(int32_t totalBytes, std::atomic<int32_t>* abortState);

// Takes this thread's waiting messages, those of the modeless dialog
// through IsDialogMessage, so that it stays painted and answers its keys.
void DispatchMessages(HWND dialog);

// ---- Destination dialog, dialog 102 (main thread) ----

// Lets the user edit destination (MAX_PATH units).  archiveName feeds the
// "create folder as the archive name" check box.  Returns 1 on OK, 2 on
// Cancel.
int32_t AskDestination(wchar_t* destination, const wchar_t* archiveName);

// Shell folder browser owned by owner, preset to initialPath when it is not
// null.  On 1 the chosen folder's full path is in path (MAX_PATH units).
int BrowseDestination(HWND owner, wchar_t* path, const wchar_t* initialPath);
