#include "launch/launch.h"

#include <shellapi.h>

#include <cstring>

#include "launch/wow64.h"
#include "paths/text.h"

namespace {

// Holds the INF installer's command line: wsprintfA writes at most 1024 bytes.
constexpr size_t kInstallerCommandSize = 1024;

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

bool IsLetter(char c, char lower) { return (c | 0x20) == lower; }

// The INF installer's program, by full path (a program found by name could
// be one planted beside the package): <system folder>\rundll32.exe, or on
// systems without it <Windows folder>\rundll.exe.  Returns the entry point's
// library, or null when the path does not fit.
const char* FindInfInstaller(char* program) {
    if (SystemProgramPath(program, false, "\\rundll32.exe") &&
        GetFileAttributesW(ToWide(program)) != INVALID_FILE_ATTRIBUTES)
        return "setupapi";
    return SystemProgramPath(program, true, "\\rundll.exe") ? "setupx.dll" : nullptr;
}

// Writes the INF installer's command line for the script at path into
// commandLine (kInstallerCommandSize bytes) and its program into program.
// The installer takes the path as one word: its short form has no blanks,
// and where there is none the long path goes in quotes.
bool MakeInstallerCommand(const char* path, char* program, char* commandLine) {
    char script[MAX_PATH];
    const DWORD shortLength = GetShortPathNameA(path, script, sizeof script);
    if (shortLength == 0 || shortLength >= sizeof script) {
        const size_t length = std::strlen(path);
        if (length + 3 > sizeof script) return false;
        script[0] = '"';
        std::memcpy(script + 1, path, length);
        script[length + 1] = '"';
        script[length + 2] = '\0';
    }
    const char* library = FindInfInstaller(program);
    if (library == nullptr) return false;
    // At most 2 + 259 + 45 + 259 bytes.
    wsprintfA(commandLine, "\"%s\" %s,InstallHinfSection DefaultInstall 132 %s", program, library, script);
    return true;
}

// Installs the script at path and waits for the installer, with the system
// folders unredirected when nativeSystemFolders is set (so that the system
// folder's rundll32.exe is the native one too).
bool InstallInf(const char* path, const char* workingFolder, bool nativeSystemFolders, DWORD* exitCode) {
    int redirectionOff = 0;
    if (nativeSystemFolders) redirectionOff = Wow64Redirection(kWow64Off);
    char program[MAX_PATH];
    char commandLine[kInstallerCommandSize];
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    const bool started = MakeInstallerCommand(path, program, commandLine) &&
                         CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
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
    char className[kInstallerNameSize];
    char windowTitle[kInstallerNameSize];
    Sleep(1000);
    for (;;) {
        if (probes-- == 0) return;
        Sleep(10);
        if (FindInstallerWindow(className, windowTitle) != nullptr) break;
    }
    do {
        Sleep(100);
    } while (FindWindowA(className[0] != '\0' ? className : nullptr,
                         windowTitle[0] != '\0' ? windowTitle : nullptr) != nullptr);
}

// Starts a program through the shell; dot is the command's last '.', if
// any.  A quiet start shows no error box of the shell's.  Returns the
// program's process; null when the shell started none of its own (a
// document handed to a program that was running already); or
// INVALID_HANDLE_VALUE when nothing could be started.
HANDLE StartProgram(char* commandLine, char* dot, const char* workingFolder, bool quiet) {
    // "x.exe args": the arguments begin after the character that follows
    // "exe".  Any other text is the file alone.
    const char* parameters = nullptr;
    if (dot != nullptr && std::strlen(dot) >= 4 && IsLetter(dot[1], 'e') && IsLetter(dot[2], 'x') &&
        IsLetter(dot[3], 'e')) {
        const bool hasArguments = dot[4] != '\0';
        dot[4] = '\0';
        parameters = hasArguments ? dot + 5 : dot + 4;  // else the empty text
    }
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof execute;
    // Otherwise the shell's own error boxes stay.
    execute.fMask = quiet ? SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI : SEE_MASK_NOCLOSEPROCESS;
    execute.lpFile = commandLine;
    execute.lpParameters = parameters;
    execute.lpDirectory = workingFolder;
    execute.nShow = SW_SHOW;
    return ShellExecuteExA(&execute) ? execute.hProcess : INVALID_HANDLE_VALUE;
}

// Starts the program and, when asked, waits for it, for its job (when
// there is one) and for the installer windows left after it.
bool StartAndWait(char* commandLine, char* dot, const char* workingFolder, bool wait, bool quiet, HANDLE job,
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

int SystemProgramPath(char* path, bool windowsFolder, const char* name) {
    char folder[MAX_PATH];
    const UINT length =
        windowsFolder ? GetWindowsDirectoryA(folder, MAX_PATH) : GetSystemDirectoryA(folder, MAX_PATH);
    return length != 0 && length < MAX_PATH && JoinText(path, MAX_PATH, folder, name);
}

void OpenFolder(const char* folder) {
    char explorer[MAX_PATH];
    if (SystemProgramPath(explorer, true, "\\explorer.exe"))
        ShellExecuteA(nullptr, "open", explorer, folder, nullptr, SW_SHOWDEFAULT);
}

HWND FindInstallerWindow(char* className, char* windowTitle) {
    static const char* const kClasses[] = {"MsiDialogCloseClass", "InstallShield_Win"};
    windowTitle[0] = '\0';
    for (const char* name : kClasses) {
        CopyText(className, kInstallerNameSize, name);
        if (HWND window = FindWindowA(className, nullptr)) return window;
    }
    className[0] = '\0';
    CopyText(windowTitle, kInstallerNameSize, "Setup");
    HWND window = FindWindowA(nullptr, windowTitle);
    if (window == nullptr) windowTitle[0] = '\0';
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

bool LaunchAndWait(const char* command, const char* destination, bool wait, bool quiet,
                   bool nativeSystemFolders, DWORD* exitCode) {
    *exitCode = 0;
    char commandLine[kLaunchCommandSize];
    if (!JoinText(commandLine, sizeof commandLine, destination, command)) return false;
    // The folder part of the whole text, arguments included.
    char workingFolder[MAX_PATH];
    SplitPath(commandLine, workingFolder, nullptr);

    // Whatever the command starts, and what that starts in turn, joins the
    // module's job (children inherit it), so that the whole install can be
    // waited for, also when the program hands over and ends.
    HANDLE job = wait ? JoinNewJob() : nullptr;

    // The last '.' of the command itself: one in the destination (such as
    // the private folder "~pack.exe") says nothing about the command.
    char* dot = std::strrchr(commandLine + std::strlen(destination), '.');
    bool started;
    // ".inf" in any letter case.
    if (dot != nullptr && (dot[1] | 0x20) == 'i' && (dot[2] | 0x20) == 'n' && (dot[3] | 0x20) == 'f' &&
        dot[4] == '\0') {
        started = InstallInf(commandLine, workingFolder, nativeSystemFolders, exitCode);
        if (started && job != nullptr) WaitForJob(job);
    } else {
        started = StartAndWait(commandLine, dot, workingFolder, wait, quiet, job, exitCode);
    }
    if (job != nullptr) CloseHandle(job);
    return started;
}
