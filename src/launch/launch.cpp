#include "launch/launch.h"

#include <shellapi.h>

#include <cstring>
#include <cwchar>

#include "launch/wow64.h"
#include "paths/text.h"

namespace {

// Holds the INF installer's command line: a program path and a script path
// (each shorter than MAX_PATH, the script's quoted), the library's name and
// the fixed text, at most 578 units.
constexpr size_t kInstallerCommandSize = 600;

// How often the installer windows are looked for after the program: about
// 2 s after one that ran until it was waited for, or whose job was waited
// for (a window may still belong to a process outside the job, such as the
// installer service's); about 30 s after one that had already ended when
// there was no job (it may have handed over to a process of its own).
constexpr int kProbesAfterWait = 200;
constexpr int kProbesAfterEnd = 3000;

// The job calls, bound at run time by JoinNewJob (systems before job
// objects lack them; as imports their names would also cost .data).  The
// names one after another, in the order of the table.
constexpr char kJobCallNames[] =
    "CreateJobObjectA\0SetInformationJobObject\0AssignProcessToJobObject\0QueryInformationJobObject";
struct JobCalls {
    HANDLE(WINAPI* create)(LPSECURITY_ATTRIBUTES, LPCSTR);
    BOOL(WINAPI* setLimits)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD);
    BOOL(WINAPI* assign)(HANDLE, HANDLE);
    BOOL(WINAPI* query)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD, LPDWORD);
};
JobCalls jobCalls;

bool IsLetter(wchar_t c, wchar_t lower) { return (c | 0x20) == lower; }

// The INF installer's program, by full path (a program found by name could
// be one planted beside the package): <system folder>\rundll32.exe, or on
// systems without it <Windows folder>\rundll.exe.  Returns the entry point's
// library, or null when the path does not fit.
const wchar_t* FindInfInstaller(wchar_t* program) {
    if (SystemProgramPath(program, false, L"\\rundll32.exe") &&
        GetFileAttributesW(program) != INVALID_FILE_ATTRIBUTES)
        return L"setupapi";
    return SystemProgramPath(program, true, L"\\rundll.exe") ? L"setupx.dll" : nullptr;
}

// Writes the INF installer's command line for the script at path into
// commandLine (kInstallerCommandSize units) and its program into program.
// The installer takes the path as one word: its short form has no blanks,
// and where there is none the long path goes in quotes.
bool MakeInstallerCommand(const wchar_t* path, wchar_t* program, wchar_t* commandLine) {
    wchar_t script[MAX_PATH + 2];
    const DWORD shortLength = GetShortPathNameW(path, script, MAX_PATH);
    if (shortLength == 0 || shortLength >= MAX_PATH) {
        const size_t length = std::wcslen(path);
        if (length >= MAX_PATH) return false;
        script[0] = L'"';
        std::wmemcpy(script + 1, path, length);
        script[length + 1] = L'"';
        script[length + 2] = L'\0';
    }
    const wchar_t* library = FindInfInstaller(program);
    if (library == nullptr) return false;
    FormatText(commandLine, L"\"%s\" %s,InstallHinfSection DefaultInstall 132 %s", program, library, script);
    return true;
}

// Installs the script at path and waits for the installer, with the system
// folders unredirected when nativeSystemFolders is set (so that the system
// folder's rundll32.exe is the native one too).
// Its buffers get a frame of their own: inlined into the caller's, they
// made a frame past a page, and the module has no stack probes.
__attribute__((noinline)) bool InstallInf(const wchar_t* path, const wchar_t* workingFolder, bool nativeSystemFolders, DWORD* exitCode) {
    int redirectionOff = 0;
    if (nativeSystemFolders) redirectionOff = Wow64Redirection(kWow64Off);
    wchar_t program[MAX_PATH];
    wchar_t commandLine[kInstallerCommandSize];
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    const bool started = MakeInstallerCommand(path, program, commandLine) &&
                         CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                        workingFolder, &startup, &process);
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (redirectionOff) Wow64Redirection(kWow64On);
    return started;
}

// Waits until no installer window is left: looks for one for a while, then
// follows the one found until it has gone.
void WaitForInstallerWindows(int probes) {
    const char* className;
    const char* windowTitle;
    Sleep(1000);
    for (;;) {
        if (probes-- == 0) return;
        Sleep(10);
        if (FindInstallerWindow(&className, &windowTitle) != nullptr) break;
    }
    do {
        Sleep(100);
    } while (FindWindowA(className, windowTitle) != nullptr);
}

// Starts a program through the shell; dot is the command's last '.', if
// any.  A quiet start shows no error box of the shell's.  Returns the
// program's process; null when the shell started none of its own (a
// document handed to a program that was running already); or
// INVALID_HANDLE_VALUE when nothing could be started.
HANDLE StartProgram(wchar_t* commandLine, wchar_t* dot, const wchar_t* workingFolder, bool quiet) {
    // "x.exe args": the arguments begin after the character that follows
    // "exe".  Any other text is the file alone.
    const wchar_t* parameters = nullptr;
    if (dot != nullptr && std::wcslen(dot) >= 4 && IsLetter(dot[1], L'e') && IsLetter(dot[2], L'x') &&
        IsLetter(dot[3], L'e')) {
        const bool hasArguments = dot[4] != L'\0';
        dot[4] = L'\0';
        parameters = hasArguments ? dot + 5 : dot + 4;  // else the empty text
    }
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    // Otherwise the shell's own error boxes stay.
    execute.fMask = quiet ? SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI : SEE_MASK_NOCLOSEPROCESS;
    execute.lpFile = commandLine;
    execute.lpParameters = parameters;
    execute.lpDirectory = workingFolder;
    execute.nShow = SW_SHOW;
    return ShellExecuteExW(&execute) ? execute.hProcess : INVALID_HANDLE_VALUE;
}

// Starts the program and, when asked, waits for it, for its job (when
// there is one) and for the installer windows left after it.
bool StartAndWait(wchar_t* commandLine, wchar_t* dot, const wchar_t* workingFolder, bool wait, bool quiet, HANDLE job,
                  DWORD* exitCode) {
    HANDLE process = StartProgram(commandLine, dot, workingFolder, quiet);
    if (process == INVALID_HANDLE_VALUE) return false;
    bool running = false;
    if (process != nullptr) {
        WaitForInputIdle(process, INFINITE);
        Sleep(100);
        if (wait) {
            running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
            WaitForSingleObject(process, INFINITE);
            GetExitCodeProcess(process, exitCode);
        }
        CloseHandle(process);
    }
    if (!wait) return true;
    const bool jobWaited = job != nullptr && WaitForJob(job);
    WaitForInstallerWindows(running || jobWaited ? kProbesAfterWait : kProbesAfterEnd);
    return true;
}

}  // namespace

int SystemProgramPath(wchar_t* path, bool windowsFolder, const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length =
        windowsFolder ? GetWindowsDirectoryW(folder, MAX_PATH) : GetSystemDirectoryW(folder, MAX_PATH);
    return length != 0 && length < MAX_PATH && JoinText(path, MAX_PATH, folder, name);
}

void OpenFolder(const wchar_t* folder) {
    wchar_t explorer[MAX_PATH];
    if (SystemProgramPath(explorer, true, L"\\explorer.exe"))
        ShellExecuteW(nullptr, L"open", explorer, folder, nullptr, SW_SHOWDEFAULT);
}

HWND FindInstallerWindow(const char** className, const char** windowTitle) {
    static const char* const kClasses[] = {"MsiDialogCloseClass", "InstallShield_Win"};
    *windowTitle = nullptr;
    for (const char* name : kClasses) {
        *className = name;
        if (HWND window = FindWindowA(name, nullptr)) return window;
    }
    *className = nullptr;
    HWND window = FindWindowA(nullptr, "Setup");
    if (window != nullptr) *windowTitle = "Setup";
    return window;
}

HANDLE JoinNewJob() {
    HMODULE kernel = GetModuleHandleA("kernel32");
    FARPROC* call = reinterpret_cast<FARPROC*>(&jobCalls);
    for (const char* name = kJobCallNames; call != reinterpret_cast<FARPROC*>(&jobCalls + 1); call++) {
        *call = GetProcAddress(kernel, name);
        if (*call == nullptr) return nullptr;
        name += std::strlen(name) + 1;
    }
    HANDLE job = jobCalls.create(nullptr, nullptr);
    if (job == nullptr) return nullptr;
    // A process that asks to leave the job may: without the limit its
    // CreateProcess would fail.  No limit ends the processes with the job.
    // (The extended form: Wine refuses the basic one.)
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    HANDLE currentProcess = reinterpret_cast<HANDLE>(-1);  // what GetCurrentProcess() returns
    if (jobCalls.setLimits(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) &&
        jobCalls.assign(job, currentProcess))
        return job;
    CloseHandle(job);
    return nullptr;
}

bool WaitForJob(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
    for (;;) {
        if (!jobCalls.query(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting, nullptr))
            return false;
        if (accounting.ActiveProcesses <= 1) return true;
        Sleep(100);
    }
}

bool LaunchAndWait(const wchar_t* command, const wchar_t* destination, bool wait, bool quiet,
                   bool nativeSystemFolders, DWORD* exitCode) {
    *exitCode = 0;
    wchar_t commandLine[kLaunchCommandSize];
    if (!JoinText(commandLine, kLaunchCommandSize, destination, command)) return false;
    // The folder part of the whole text, arguments included.
    wchar_t workingFolder[MAX_PATH];
    SplitPath(commandLine, workingFolder, nullptr);

    // Whatever the command starts, and what that starts in turn, joins the
    // module's job (children inherit it), so that the whole install can be
    // waited for, also when the program hands over and ends.
    HANDLE job = wait ? JoinNewJob() : nullptr;

    // The last '.' of the command itself: one in the destination (such as
    // the private folder "~pack.exe") says nothing about the command.
    wchar_t* dot = std::wcsrchr(commandLine + std::wcslen(destination), L'.');
    bool started;
    // ".inf" in any letter case.
    if (dot != nullptr && IsLetter(dot[1], L'i') && IsLetter(dot[2], L'n') && IsLetter(dot[3], L'f') &&
        dot[4] == L'\0') {
        started = InstallInf(commandLine, workingFolder, nativeSystemFolders, exitCode);
        if (started && job != nullptr) WaitForJob(job);
    } else {
        started = StartAndWait(commandLine, dot, workingFolder, wait, quiet, job, exitCode);
    }
    if (job != nullptr) CloseHandle(job);
    return started;
}
