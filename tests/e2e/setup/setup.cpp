// setup.exe: a stand-in installer for the end-to-end tests of the module's
// launch step.  It reports what it was started with and what it found to
// the file named by the environment variable SETUP_REPORT (appending one
// line per fact), and behaves as asked:
//
//   setup.exe [--create NAME] [--create-outside NAME] [--stay SECONDS]
//             [--window SECONDS] [--child SECONDS] [--detached-child SECONDS]
//             [--exit CODE] [WORD...]
//
//   --create NAME     makes the file NAME in the working folder, as an
//                     installer leaves files of its own
//   --create-outside NAME   the same in the working folder's parent
//   --stay SECONDS    runs that long, idle in a message loop, without a window
//   --window SECONDS  shows a window titled "Setup" that long
//   --child SECONDS   starts a copy of itself with --window SECONDS and ends
//                     at once
//   --detached-child SECONDS   starts a copy of itself with --detached
//                     SECONDS, which stays that long without a window and
//                     outlives this one
//   --exit CODE       the exit code (else 0)
//
// Report lines: "start ARGS", "cwd FOLDER", "exe PATH", "created PATH",
// "child started", "detached child started", and at the end of --stay,
// --window and --detached "file PATH" for every file below the program's
// folder (relative to it), then "end MODE" (stay, window, detached).
// Options are carried out in the order given; other words are ignored.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Report(const std::string& line) {
    const char* path = std::getenv("SETUP_REPORT");
    if (path == nullptr || path[0] == '\0') return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD written;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// The command line after the program's own name.
const char* ArgumentTail() {
    const char* p = GetCommandLineA();
    if (*p == '"') {
        p = std::strchr(p + 1, '"');
        p = p != nullptr ? p + 1 : "";
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') p++;
    }
    while (*p == ' ' || *p == '\t') p++;
    return p;
}

std::string ModulePath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

void ReportFiles(const std::string& folder, const std::string& relative) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + relative + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ReportFiles(folder, relative + name + "\\");
        else
            Report("file " + relative + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Runs a message loop for the given time; with a title, under a visible
// window of that title.
void RunFor(int seconds, const char* title) {
    HWND window = nullptr;
    if (title != nullptr) {
        window = CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 120,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    const UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    KillTimer(nullptr, timer);
    ReportFiles(FolderOf(ModulePath()), "");
    if (window != nullptr) DestroyWindow(window);
}

// Starts a copy of itself with the option given.
bool StartChild(const char* option, int seconds) {
    std::string commandLine = "\"" + ModulePath() + "\" " + option + " " + std::to_string(seconds);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Report(std::string("start ") + ArgumentTail());
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    Report(std::string("cwd ") + folder);
    Report("exe " + ModulePath());

    int exitCode = 0;
    for (int i = 1; i < __argc; i++) {
        const std::string option = __argv[i];
        const bool hasValue = i + 1 < __argc;
        if ((option == "--create" || option == "--create-outside") && hasValue) {
            const std::string name = (option == "--create" ? "" : "..\\") + std::string(__argv[++i]);
            FILE* file = std::fopen(name.c_str(), "wb");
            if (file != nullptr) {
                std::fputs("installed\r\n", file);
                std::fclose(file);
                char full[MAX_PATH];
                GetFullPathNameA(name.c_str(), sizeof full, full, nullptr);
                Report(std::string("created ") + full);
            }
        } else if (option == "--stay" && hasValue) {
            RunFor(std::atoi(__argv[++i]), nullptr);
            Report("end stay");
        } else if (option == "--window" && hasValue) {
            RunFor(std::atoi(__argv[++i]), "Setup");
            Report("end window");
        } else if (option == "--detached" && hasValue) {
            RunFor(std::atoi(__argv[++i]), nullptr);
            Report("end detached");
        } else if (option == "--child" && hasValue) {
            if (StartChild("--window", std::atoi(__argv[++i]))) Report("child started");
        } else if (option == "--detached-child" && hasValue) {
            if (StartChild("--detached", std::atoi(__argv[++i]))) Report("detached child started");
        } else if (option == "--exit" && hasValue) {
            exitCode = std::atoi(__argv[++i]);
        }
    }
    return exitCode;
}
