#include <shlobj.h>

#include <cstring>
#include <cwchar>

#include "paths/folders.h"
#include "paths/text.h"

namespace {

constexpr char kShellFoldersKey[] = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The system folder calls are given 256 units, as the tokens always were.
constexpr UINT kSystemFolderSize = 256;

enum class TokenFolder { kNone, kDesktop, kDocuments, kProgramFiles, kSystem, kWindows, kTemp };

// The token names one after another, in the order of TokenFolder from
// kDesktop on; matched exactly, letter case included.
constexpr char kTokenNames[] = "Desktop\0MyDocuments\0ProgramFiles\0SystemDir\0WinDir\0temp";

// Comparing this many bytes takes in the terminator of every name.
constexpr size_t kLongestTokenSize = sizeof "ProgramFiles";

TokenFolder FolderOfToken(const char* token) {
    const char* name = kTokenNames;
    for (int folder = static_cast<int>(TokenFolder::kDesktop); folder <= static_cast<int>(TokenFolder::kTemp);
         folder++) {
        if (std::strncmp(token, name, kLongestTokenSize) == 0) return static_cast<TokenFolder>(folder);
        name += std::strlen(name) + 1;
    }
    return TokenFolder::kNone;
}

void ProgramFilesFolder(wchar_t* folder) {
    LPITEMIDLIST items = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES, &items) != S_OK) return;
    if (!SHGetPathFromIDListW(items, folder)) folder[0] = L'\0';
    CoTaskMemFree(items);
}

}  // namespace

int ReadShellFolder(HKEY root, const char* subkey, wchar_t* buffer, const wchar_t* valueName) {
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    buffer[0] = L'\0';
    DWORD size = MAX_PATH * sizeof(wchar_t);
    const LONG status =
        RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    // A value that fills the buffer arrives without its terminator.
    buffer[MAX_PATH - 1] = L'\0';
    if (status != ERROR_SUCCESS) {
        buffer[0] = L'\0';
        return 0;
    }
    return buffer[0] != L'\0' ? 1 : 0;
}

int ResolveFolderToken(wchar_t* output, const SfxConfig& block, const wchar_t* archivePath) {
    if (block.destination[0] == '\0') return 0;

    char text[MAX_PATH];
    CopyTextPart(text, sizeof text, block.destination, sizeof block.destination);
    char* second = text[0] == '%' ? std::strchr(text + 1, '%') : nullptr;
    if (second == nullptr) {
        CopyText(output, MAX_PATH, ToWide(text));
        return 0;
    }
    const bool wholeTextIsToken = second[1] == '\0';
    *second = '\0';
    const char* token = text + 1;
    const char* rest = second + 1;

    wchar_t folder[MAX_PATH] = L"";
    int privateTemp = 0;
    switch (FolderOfToken(token)) {
    case TokenFolder::kDesktop:
        ReadShellFolder(HKEY_CURRENT_USER, kShellFoldersKey, folder, L"Desktop");
        break;
    case TokenFolder::kDocuments:
        ReadShellFolder(HKEY_CURRENT_USER, kShellFoldersKey, folder, L"Personal");
        break;
    case TokenFolder::kProgramFiles: ProgramFilesFolder(folder); break;
    case TokenFolder::kSystem:
        if (GetSystemDirectoryW(folder, kSystemFolderSize) == 0) folder[0] = L'\0';
        break;
    case TokenFolder::kWindows:
        if (GetWindowsDirectoryW(folder, kSystemFolderSize) == 0) folder[0] = L'\0';
        break;
    case TokenFolder::kTemp:
        if (GetTempPathW(MAX_PATH, folder) - 1u >= MAX_PATH - 1u) {
            folder[0] = L'\0';
            break;
        }
        // A run that removes its files afterwards gets a folder of its own,
        // named after the module, so that the folder can be removed too.
        if (wholeTextIsToken && block.removeAfterRun != 0) {
            wchar_t name[1 + MAX_PATH] = L"~";
            SplitPath(archivePath, nullptr, name + 1);
            privateTemp = JoinText(folder, MAX_PATH, folder, name);
        }
        break;
    case TokenFolder::kNone: break;
    }
    if (folder[0] != L'\0') RemoveBackslash(folder);

    // A folder and rest too long together are cut at the buffer's end.
    const wchar_t* wideRest = ToWide(rest);
    if (!JoinText(output, MAX_PATH, folder, wideRest)) {
        CopyText(output, MAX_PATH, folder);
        const size_t used = std::wcslen(output);
        CopyText(output + used, MAX_PATH - used, wideRest);
    }
    return privateTemp;
}
