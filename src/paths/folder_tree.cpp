#include <cstring>
#include <cwchar>

#include "paths/folders.h"
#include "paths/text.h"

namespace {

// Index of the separator after the root of an absolute path: the backslash
// after "C:", or the one after "\\server\share".  -1 for any other form.
int RootSeparator(const wchar_t* path, size_t length) {
    if (length >= 3 && path[1] == L':' && path[2] == L'\\') return 2;
    if (length >= 8 && path[0] == L'\\' && path[1] == L'\\') {
        const wchar_t* server = std::wcschr(path + 2, L'\\');
        if (server == nullptr) return -1;
        const wchar_t* share = std::wcschr(server + 1, L'\\');
        if (share == nullptr) return -1;
        return static_cast<int>(share - path);
    }
    return -1;
}

}  // namespace

int CreateFolderTree(const char* path) {
    // Separators are found in UTF-16, where a double-byte character's second
    // byte cannot pass for a backslash.
    wchar_t copy[kWideScratchUnits + 1];
    const wchar_t* wide = ToWide(path);
    size_t length = std::wcslen(wide);
    std::wmemcpy(copy, wide, length + 1);
    const int root = RootSeparator(copy, length);
    if (root < 0) return 0;
    if (copy[length - 1] != L'\\') {
        copy[length++] = L'\\';
        copy[length] = L'\0';
    }
    // Most entries go into a folder that exists already: one look-up.
    const DWORD attributes = GetFileAttributesA(ToNarrow(copy));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 1;

    // Each level is the text up to and including a separator: the root
    // first ("C:\" or "\\server\share\"), then every folder below it.
    for (size_t end = static_cast<size_t>(root); end < length; end++) {
        if (copy[end] != L'\\') continue;
        const wchar_t saved = copy[end + 1];
        copy[end + 1] = L'\0';
        char level[MAX_PATH];
        const char* narrow = ToNarrow(copy);
        copy[end + 1] = saved;
        if (narrow[0] == '\0' || !CopyText(level, sizeof level, narrow)) return 0;
        if (GetFileAttributesA(level) == INVALID_FILE_ATTRIBUTES && !CreateDirectoryA(level, nullptr))
            return 0;
    }
    return 1;
}
