#include <cstring>
#include <cwchar>

#include "paths/folders.h"
#include "paths/text.h"

namespace {

// Index of the separator after the root of an absolute path: the backslash
// after "C:" or "\\?\C:", or the one after "\\server\share" or
// "\\?\UNC\server\share".  -1 for any other form.
int RootSeparator(const wchar_t* path) {
    const wchar_t* rest = path;
    bool unc = false;
    if (rest[0] == L'\\' && rest[1] == L'\\') {
        rest += 2;
        unc = true;
        if (rest[0] == L'?' && rest[1] == L'\\') {
            rest += 2;
            unc = rest[0] == L'U' && rest[1] == L'N' && rest[2] == L'C' && rest[3] == L'\\';
            if (unc) rest += 4;
        }
    }
    if (!unc) return rest[0] != L'\0' && rest[1] == L':' && rest[2] == L'\\' ? static_cast<int>(rest - path) + 2 : -1;
    const wchar_t* server = std::wcschr(rest, L'\\');
    if (server == nullptr || server == rest) return -1;
    const wchar_t* share = std::wcschr(server + 1, L'\\');
    if (share == nullptr || share == server + 1) return -1;
    return static_cast<int>(share - path);
}

}  // namespace

int CreateFolderTree(const wchar_t* path) {
    wchar_t copy[kPathUnits + 1];
    size_t length = std::wcslen(path);
    if (length == 0 || length >= kPathUnits) return 0;
    std::memcpy(copy, path, (length + 1) * sizeof(wchar_t));
    const int root = RootSeparator(copy);
    if (root < 0) return 0;
    if (copy[length - 1] != L'\\') {
        copy[length++] = L'\\';
        copy[length] = L'\0';
    }
    // Most entries go into a folder that exists already: one look-up.
    const DWORD attributes = GetFileAttributesW(copy);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 1;

    // Each level is the text up to and including a separator: the root
    // first ("C:\" or "\\server\share\"), then every folder below it.
    for (size_t end = static_cast<size_t>(root); end < length; end++) {
        if (copy[end] != L'\\') continue;
        const wchar_t saved = copy[end + 1];
        copy[end + 1] = L'\0';
        const bool made = GetFileAttributesW(copy) != INVALID_FILE_ATTRIBUTES || CreateDirectoryW(copy, nullptr);
        copy[end + 1] = saved;
        if (!made) return 0;
    }
    return 1;
}

