#include <cstring>
#include <cwchar>

#include "app/messages.h"
#include "paths/folders.h"
#include "paths/text.h"
#include "res/resource.h"

namespace {

// Characters no entry name may hold (the backslash and '/' separate folders).
constexpr wchar_t kInvalidNameCharacters[] = L":;*?\"<>|";

void RejectName(const char* name) {
    ShowStringMessageWith(nullptr, IDS_INVALID_FILENAME, name, MB_ICONWARNING);
}

// 1 when path, made canonical, lies inside the canonical destination:
// strictly below it, or for a folder-only name also the destination itself.
// Names with "..", "." or device names that lead elsewhere fail here.
int LiesInside(const char* destination, const char* path, bool folderOnly) {
    char fullDestination[MAX_PATH];
    char fullPath[MAX_PATH];
    const DWORD destinationLength = GetFullPathNameA(destination, MAX_PATH, fullDestination, nullptr);
    const DWORD pathLength = GetFullPathNameA(path, MAX_PATH, fullPath, nullptr);
    if (destinationLength == 0 || destinationLength >= MAX_PATH) return 0;
    if (pathLength == 0 || pathLength >= MAX_PATH) return 0;
    // Compare against the destination with its trailing backslash, so that
    // C:\out2 does not pass for a path inside C:\out.
    if (!AddBackslash(fullDestination, sizeof fullDestination)) return 0;
    const int prefix = static_cast<int>(std::strlen(fullDestination));
    if (folderOnly && !AddBackslash(fullPath, sizeof fullPath)) return 0;
    const int length = static_cast<int>(std::strlen(fullPath));
    if (length < prefix || (length == prefix && !folderOnly)) return 0;
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, fullPath, prefix, fullDestination,
                          prefix) == CSTR_EQUAL;
}

}  // namespace

EntryPathResult PrepareEntryPath(const char* destination, char* name, char* output) {
    TrimTrailingSpaces(name);
    if (name[0] == '\0' || std::strlen(destination) + std::strlen(name) >= MAX_PATH) {
        RejectName(name);
        return kEntryPathRejected;
    }
    wchar_t wide[MAX_PATH];
    const wchar_t* converted = ToWide(name);
    std::wcscpy(wide, converted);  // fits: the name is shorter than MAX_PATH bytes
    if (std::wcspbrk(wide, kInvalidNameCharacters) != nullptr) {
        RejectName(name);
        return kEntryPathRejected;
    }

    char candidate[MAX_PATH];
    JoinText(candidate, sizeof candidate, destination, name);
    wchar_t* separator = std::wcsrchr(wide, L'\\');
    const bool folderOnly = separator != nullptr && separator[1] == L'\0';
    if (!LiesInside(destination, candidate, folderOnly)) {
        RejectName(name);
        return kEntryPathRejected;
    }

    if (separator == nullptr) {
        CopyText(output, MAX_PATH, candidate);
        return kEntryPathFile;
    }
    char fileName[MAX_PATH];
    CopyText(fileName, sizeof fileName, ToNarrow(separator + 1));
    separator[1] = L'\0';
    char folder[MAX_PATH];
    JoinText(folder, sizeof folder, destination, ToNarrow(wide));
    if (!CreateFolderTree(folder)) {
        g_state.abortState.store(kAbortFailed);
        ShowStringMessage(nullptr, IDS_FOLDER_FORBIDDEN, MB_ICONERROR);
        return kEntryPathFailed;
    }
    CopyText(output, MAX_PATH, folder);
    if (fileName[0] == '\0') return kEntryPathFolder;
    JoinText(output, MAX_PATH, folder, fileName);
    return kEntryPathFile;
}
