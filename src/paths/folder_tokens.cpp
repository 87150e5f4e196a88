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

TokenFolder FolderOfToken(const wchar_t* token) {
    const char* name = kTokenNames;
    for (int folder = static_cast<int>(TokenFolder::kDesktop); folder <= static_cast<int>(TokenFolder::kTemp);
         folder++) {
        size_t i = 0;
        while (name[i] != '\0' && token[i] == static_cast<wchar_t>(name[i])) i++;
        if (name[i] == '\0' && token[i] == L'\0') return static_cast<TokenFolder>(folder);
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

int ResolveFolderToken(wchar_t* output, const wchar_t* destination, bool removeAfterRun,
                       const wchar_t* archivePath) {
    if (destination[0] == L'\0') return 0;

    wchar_t text[MAX_PATH];
    CopyText(text, MAX_PATH, destination);
    wchar_t* second = text[0] == L'%' ? std::wcschr(text + 1, L'%') : nullptr;
    if (second == nullptr) {
        CopyText(output, MAX_PATH, text);
        return 0;
    }
    const bool wholeTextIsToken = second[1] == L'\0';
    *second = L'\0';
    const wchar_t* token = text + 1;
    const wchar_t* rest = second + 1;

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
        if (wholeTextIsToken && removeAfterRun) {
            wchar_t name[1 + MAX_PATH] = L"~";
            SplitPath(archivePath, nullptr, name + 1);
            privateTemp = JoinText(folder, MAX_PATH, folder, name);
        }
        break;
    case TokenFolder::kNone: break;
    }
    if (folder[0] != L'\0') RemoveBackslash(folder);

    // A folder and rest too long together are cut at the buffer's end.
    if (!JoinText(output, MAX_PATH, folder, rest)) {
        CopyText(output, MAX_PATH, folder);
        const size_t used = std::wcslen(output);
        CopyText(output + used, MAX_PATH - used, rest);
    }
    return privateTemp;
}
