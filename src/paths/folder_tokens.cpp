#include <shlobj.h>

#include <cstring>

#include "paths/folders.h"
#include "paths/text.h"

namespace {

constexpr char kShellFoldersKey[] = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The system folder calls are given 256 bytes, as the tokens always were.
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

void ProgramFilesFolder(char* folder) {
    LPITEMIDLIST items = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES, &items) != S_OK) return;
    if (!SHGetPathFromIDListA(items, folder)) folder[0] = '\0';
    CoTaskMemFree(items);
}

}  // namespace

int ReadShellFolder(HKEY root, const char* subkey, char* buffer, const char* valueName) {
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    buffer[0] = '\0';
    DWORD size = MAX_PATH;
    const LONG status =
        RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    // A value of exactly MAX_PATH bytes arrives without its terminator.
    buffer[MAX_PATH - 1] = '\0';
    if (status != ERROR_SUCCESS) {
        buffer[0] = '\0';
        return 0;
    }
    return buffer[0] != '\0' ? 1 : 0;
}

int ResolveFolderToken(char* output, const SfxConfig& block, const char* archivePath) {
    if (block.destination[0] == '\0') return 0;

    char text[MAX_PATH];
    CopyTextPart(text, sizeof text, block.destination, sizeof block.destination);
    char* second = text[0] == '%' ? std::strchr(text + 1, '%') : nullptr;
    if (second == nullptr) {
        CopyText(output, MAX_PATH, text);
        return 0;
    }
    const bool wholeTextIsToken = second[1] == '\0';
    *second = '\0';
    const char* token = text + 1;
    const char* rest = second + 1;

    char folder[MAX_PATH] = "";
    int privateTemp = 0;
    switch (FolderOfToken(token)) {
    case TokenFolder::kDesktop:
        ReadShellFolder(HKEY_CURRENT_USER, kShellFoldersKey, folder, "Desktop");
        break;
    case TokenFolder::kDocuments:
        ReadShellFolder(HKEY_CURRENT_USER, kShellFoldersKey, folder, "Personal");
        break;
    case TokenFolder::kProgramFiles: ProgramFilesFolder(folder); break;
    case TokenFolder::kSystem:
        if (GetSystemDirectoryA(folder, kSystemFolderSize) == 0) folder[0] = '\0';
        break;
    case TokenFolder::kWindows:
        if (GetWindowsDirectoryA(folder, kSystemFolderSize) == 0) folder[0] = '\0';
        break;
    case TokenFolder::kTemp:
        // A user folder with characters the code page lacks still works
        // through its short form.
        wchar_t wideTemp[MAX_PATH];
        if (GetTempPathW(MAX_PATH, wideTemp) - 1u >= MAX_PATH - 1u || !AnsiPathOf(wideTemp, folder)) {
            folder[0] = '\0';
            break;
        }
        // A run that removes its files afterwards gets a folder of its own,
        // named after the module, so that the folder can be removed too.
        if (wholeTextIsToken && block.removeAfterRun != 0) {
            char name[MAX_PATH];
            SplitPath(archivePath, nullptr, name);
            char privateFolder[MAX_PATH];
            if (JoinText(privateFolder, sizeof privateFolder, folder, "~") &&
                JoinText(privateFolder, sizeof privateFolder, privateFolder, name)) {
                CopyText(folder, sizeof folder, privateFolder);
                privateTemp = 1;
            }
        }
        break;
    case TokenFolder::kNone: break;
    }
    if (folder[0] != '\0') RemoveBackslash(folder);

    // A folder and rest too long together are cut at the buffer's end.
    if (!JoinText(output, MAX_PATH, folder, rest)) {
        CopyText(output, MAX_PATH, folder);
        const size_t used = std::strlen(output);
        CopyText(output + used, MAX_PATH - used, rest);
    }
    return privateTemp;
}
