#include "module_test_support.h"

#include <cstdio>
#include <cstring>

#include "app/state.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

std::vector<ShownMessage> shown;
int answer = IDOK;

// folder: with the \\?\ prefix, so that trees deeper than MAX_PATH and
// names of any script go too.
void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + L"\\");
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

// The module's message box, replaced: nothing is shown, every call is kept.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    shown.push_back({owner, Narrow(text), Narrow(caption), type, text});
    return answer;
}

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size())) - 1);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(size - 1);
    return narrow;
}

std::wstring LongPath(const std::wstring& path) { return path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path; }

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
    g_state.destination[0] = L'\0';
    ClearMessages();
}

TempFolder::TempFolder() {
    static unsigned counter;
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    char name[64];
    std::snprintf(name, sizeof name, "sfxtest%lu-%u\\", GetCurrentProcessId(), ++counter);
    path_ = std::string(base) + name;
    // One left by a run that ended early would hold its files.
    RemoveTree(LongPath(Wide(path_)));
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(LongPath(Wide(path_))); }

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

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ModuleFileName() {
    char name[MAX_PATH];
    GetModuleFileNameA(nullptr, name, sizeof name);
    return name;
}
