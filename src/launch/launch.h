// Starting the configured command after the extraction: an ".inf" script
// through the system's INF installer, anything else through the shell; and
// waiting for it and for the installer windows it leaves behind.
#pragma once

#include <windows.h>

#include <cstdint>

// Units of the buffer that holds destination and command (with arguments).
constexpr size_t kLaunchCommandSize = 512;

// Starts command (relative to destination, which ends with a backslash,
// optionally followed by arguments) with destination's folder part as its
// working folder.  An ".inf" script is always waited for.  A program is
// waited for only with wait, and then so is any installer window that shows
// up after it.  With wait, the module first joins a job of its own, and
// every process the command starts, and those they start, is waited for
// too; where the system gives no job, the program and the installer
// windows alone are.  nativeSystemFolders (packages for 64-bit Windows)
// switches WOW64 redirection off while an ".inf" script installs.  quiet
// (a silent run) keeps the shell from showing an error box.  Returns
// false, without a word of its own, when nothing could be started; *exitCode
// is the command's own exit code when it was waited for, else 0.
bool LaunchAndWait(const wchar_t* command, const wchar_t* destination, bool wait, bool quiet,
                   bool nativeSystemFolders, DWORD* exitCode);

// Puts the calling process into a new job, which lets the processes in it
// break away when they ask to and ends none of them when it is closed; the
// processes it starts from then on join the job.  Returns the job, or null
// where the system gives none (no job objects, or a process already in a
// job on a system without nested jobs).
HANDLE JoinNewJob();

// Waits until the caller is the only process left in job.  Returns false
// when the job cannot be asked.
bool WaitForJob(HANDLE job);

// Full path (MAX_PATH units) of the program name, given with a leading
// backslash, in the system folder, or with windowsFolder in the Windows
// folder.  Returns 0 when it does not fit.
// Programs of system names are started by full path: found by name, one
// planted beside the package would run instead.
int SystemProgramPath(wchar_t* path, bool windowsFolder, const wchar_t* name);

// Opens folder in Explorer.
void OpenFolder(const wchar_t* folder);

// Looks for an installer window: class "MsiDialogCloseClass", then class
// "InstallShield_Win", then the title "Setup".  What matched, the class name
// or the title, is set, the other null; both null, and the result, when
// there is none.
HWND FindInstallerWindow(const char** className, const char** windowTitle);
