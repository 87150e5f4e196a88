#include <shlobj.h>

#include <cstring>

#include "paths/folders.h"
#include "paths/text.h"

namespace {

constexpr char kShellFoldersKey[] = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The system folder calls are given 256 bytes, as the tokens always were.
constexpr UINT kSystemFolderSize = 256;

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
    switch (token[0]) {
    case 'D':
        if (lstrcmpA(token, "Desktop") == 0)
            ReadShellFolder(HKEY_CURRENT_USER, kShellFoldersKey, folder, "Desktop");
        break;
    case 'M':
        if (lstrcmpA(token, "MyDocuments") == 0)
            ReadShellFolder(HKEY_CURRENT_USER, kShellFoldersKey, folder, "Personal");
        break;
    case 'P':
        if (lstrcmpA(token, "ProgramFiles") == 0) ProgramFilesFolder(folder);
        break;
    case 'S':
        if (lstrcmpA(token, "SystemDir") == 0 && GetSystemDirectoryA(folder, kSystemFolderSize) == 0)
            folder[0] = '\0';
        break;
    case 'W':
        if (lstrcmpA(token, "WinDir") == 0 && GetWindowsDirectoryA(folder, kSystemFolderSize) == 0)
            folder[0] = '\0';
        break;
    case 't':
        if (lstrcmpA(token, "temp") != 0) break;
        if (GetTempPathA(kSystemFolderSize, folder) == 0) {
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
    default:
        break;
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
