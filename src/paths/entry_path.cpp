#include <cstring>
#include <cwchar>

#include "paths/folders.h"
#include "paths/text.h"

namespace {

// Characters no entry name may hold (the backslash and '/' separate folders).
constexpr wchar_t kInvalidNameCharacters[] = L":;*?\"<>|";

// 1 when fullPath, a canonical path, lies inside the canonical destination:
// strictly below it, or for a folder-only name also the destination itself.
// Names with "..", "." or device names that lead elsewhere fail here.
// fullPath is cut and restored while it is compared.
int LiesInside(const wchar_t* destination, wchar_t* fullPath, bool folderOnly) {
    wchar_t fullDestination[MAX_PATH + 1];
    const DWORD destinationLength = GetFullPathNameW(destination, MAX_PATH, fullDestination, nullptr);
    if (destinationLength == 0 || destinationLength >= MAX_PATH) return 0;
    // Compare against the destination with its trailing backslash, so that
    // C:\out2 does not pass for a path inside C:\out.
    size_t prefix = destinationLength;
    if (fullDestination[prefix - 1] != L'\\') {
        fullDestination[prefix++] = L'\\';
        fullDestination[prefix] = L'\0';
    }
    const size_t length = std::wcslen(fullPath);
    if (length < prefix || (length == prefix && !folderOnly)) return 0;
    const wchar_t saved = fullPath[prefix];
    fullPath[prefix] = L'\0';
    const int inside = lstrcmpiW(fullPath, fullDestination) == 0;
    fullPath[prefix] = saved;
    return inside;
}

}  // namespace

void StripParentRefs(wchar_t* text) {
    // Removing shortens the text, so it is done in place; passes repeat until
    // one removes nothing.
    bool removed = true;
    while (removed) {
        removed = false;
        wchar_t* out = text;
        for (const wchar_t* in = text; *in != L'\0';) {
            if (in[0] == L'.' && in[1] == L'.' && in[2] == L'\\') {
                in += 3;
                removed = true;
            } else {
                *out++ = *in++;
            }
        }
        *out = L'\0';
    }
}

wchar_t* CleanEntryName(wchar_t* name) {
    for (wchar_t* p = name; *p != L'\0'; p++)
        if (*p == L'/') *p = L'\\';
    StripParentRefs(name);
    while (*name == L'\\') name++;
    return name;
}

// Frames of their own: the worker's, with the name and path, is large already.
__attribute__((noinline)) wchar_t* EntryNameOf(const lzh::EntryHeader& header, const lzh::WideNames* names, wchar_t* name) {
    // A code page this system cannot convert from falls back to its own.
    const UINT codePage = names != nullptr ? names->codePage : CP_ACP;
    if (MultiByteToWideChar(codePage, 0, header.name, -1, name, kEntryNameUnits) == 0 &&
        MultiByteToWideChar(CP_ACP, 0, header.name, -1, name, kEntryNameUnits) == 0)
        name[0] = L'\0';
    if (names != nullptr && (names->file[0] != 0 || names->folder[0] != 0)) {
        // The exact folders, or the converted ones up to the last backslash;
        // then the exact file name, or the converted one after it.
        wchar_t* separator = std::wcsrchr(name, L'\\');
        wchar_t* file = separator != nullptr ? separator + 1 : name;
        const wchar_t* exactFile = reinterpret_cast<const wchar_t*>(names->file);
        if (exactFile[0] == L'\0') exactFile = file;
        wchar_t exact[kEntryNameUnits];
        size_t length = static_cast<size_t>(file - name);
        if (names->folder[0] != 0) {
            std::wcscpy(exact, reinterpret_cast<const wchar_t*>(names->folder));
            length = std::wcslen(exact);
            if (exact[length - 1] != L'\\') exact[length++] = L'\\';
        } else {
            std::memcpy(exact, name, length * sizeof(wchar_t));
        }
        // A converted part beside an exact one may not leave room: the
        // converted name stands then.
        if (length + std::wcslen(exactFile) < kEntryNameUnits) {
            std::wcscpy(exact + length, exactFile);
            std::wcscpy(name, exact);
        }
    }
    return CleanEntryName(name);
}

__attribute__((noinline)) EntryPathResult PrepareEntryPath(const wchar_t* destination, wchar_t* name, wchar_t* output) {
    TrimTrailingSpaces(name);
    if (name[0] == L'\0') return kEntryPathRejected;
    if (std::wcspbrk(name, kInvalidNameCharacters) != nullptr) return kEntryPathRejected;

    // The canonical path, then its form for the file calls.
    wchar_t path[kPathUnits];
    if (!JoinText(path, kPathUnits, destination, name)) return kEntryPathTooLong;
    const DWORD length = GetFullPathNameW(path, kPathUnits, output, nullptr);
    if (length == 0) return kEntryPathRejected;
    if (length >= kPathUnits) return kEntryPathTooLong;
    const wchar_t* separator = std::wcsrchr(name, L'\\');
    const bool folderOnly = separator != nullptr && separator[1] == L'\0';
    if (!LiesInside(destination, output, folderOnly)) return kEntryPathRejected;
    if (!FileCallPath(output, path, kPathUnits)) return kEntryPathTooLong;
    std::wcscpy(output, path);
    if (separator == nullptr) return kEntryPathFile;

    // The folders the name holds, up to its last backslash.
    wchar_t* last = std::wcsrchr(path, L'\\');
    last[1] = L'\0';
    if (!CreateFolderTree(path)) return kEntryPathFailed;
    return folderOnly ? kEntryPathFolder : kEntryPathFile;
}
