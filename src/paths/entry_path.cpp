#include <cstring>
#include <cwchar>

#include "paths/folders.h"
#include "paths/text.h"

namespace {

// Characters no entry name may hold (the backslash and '/' separate folders).
constexpr wchar_t kInvalidNameCharacters[] = L":;*?\"<>|";

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
    fullPath[prefix] = '\0';
    return lstrcmpiA(fullPath, fullDestination) == 0;
}

}  // namespace

void StripParentRefs(char* text) {
    // Removing shortens the text, so it is done in place; passes repeat until
    // one removes nothing.
    bool removed = true;
    while (removed) {
        removed = false;
        char* out = text;
        for (const char* in = text; *in != '\0';) {
            if (in[0] == '.' && in[1] == '.' && in[2] == '\\') {
                in += 3;
                removed = true;
            } else {
                *out++ = *in++;
            }
        }
        *out = '\0';
    }
}

char* CleanEntryName(char* name) {
    // A first byte is never a trail byte, and 0x5C is no lead byte in any
    // code page: a leading backslash is always a separator.
    if (name[0] == '\\') name++;
    SlashesToBackslashes(name);
    StripParentRefs(name);
    return name;
}

EntryPathResult PrepareEntryPath(const char* destination, char* name, char* output) {
    TrimTrailingSpaces(name);
    if (name[0] == '\0') return kEntryPathRejected;
    if (std::strlen(destination) + std::strlen(name) >= MAX_PATH) return kEntryPathTooLong;
    wchar_t wide[MAX_PATH];
    const wchar_t* converted = ToWide(name);
    std::wcscpy(wide, converted);  // fits: the name is shorter than MAX_PATH bytes
    if (std::wcspbrk(wide, kInvalidNameCharacters) != nullptr) {
        return kEntryPathRejected;
    }

    char candidate[MAX_PATH];
    JoinText(candidate, sizeof candidate, destination, name);
    wchar_t* separator = std::wcsrchr(wide, L'\\');
    const bool folderOnly = separator != nullptr && separator[1] == L'\0';
    if (!LiesInside(destination, candidate, folderOnly)) {
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
    if (!CreateFolderTree(folder)) return kEntryPathFailed;
    CopyText(output, MAX_PATH, folder);
    if (fileName[0] == '\0') return kEntryPathFolder;
    JoinText(output, MAX_PATH, folder, fileName);
    return kEntryPathFile;
}
