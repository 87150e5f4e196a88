#include "module_test_support.h"

#include <cstdio>
#include <cstring>

#include "app/state.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

std::vector<ShownMessage> shown;
int answer = IDOK;

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + "\\");
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

// The module's message box, replaced: nothing is shown, every call is kept.
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    shown.push_back({owner, text, caption, type});
    return answer;
}

std::vector<ShownMessage>& ShownMessages() { return shown; }

void ClearMessages() {
    shown.clear();
    answer = IDOK;
}

void SetMessageAnswer(int value) { answer = value; }

DeployerSwitches& TestSwitches() {
    static DeployerSwitches switches;
    return switches;
}

void ResetModuleState() {
    TestSwitches() = DeployerSwitches{};
    g_state.switches = &TestSwitches();
    g_ui.silent = 0;
    g_ui.log = nullptr;
    g_state.module = GetModuleHandleA(nullptr);
    g_ui.resources = g_state.module;
    g_ui.progressWindow = nullptr;
    std::memset(&g_state.runSettings, 0, sizeof g_state.runSettings);
    g_state.runSettings.openFolder = 1;
    g_state.abortState.store(lzh::kAbortNone);
    g_state.job = ExtractionJob{};
    g_state.tempFolderMade = 0;
    ClearMessages();
}

TempFolder::TempFolder() {
    static unsigned counter;
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    char name[64];
    std::snprintf(name, sizeof name, "sfxtest%lu-%u\\", GetCurrentProcessId(), ++counter);
    path_ = std::string(base) + name;
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ModuleFileName() {
    char name[MAX_PATH];
    GetModuleFileNameA(nullptr, name, sizeof name);
    return name;
}
