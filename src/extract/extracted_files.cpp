#include "extract/extracted_files.h"

#include <cstring>
#include <cwchar>

#include "paths/text.h"
#include "ui/run_log.h"

ExtractedFileList g_extractedFiles;

namespace {

// Total length beyond which the list takes no more paths.
constexpr uint32_t kMaxListLength = 0x7FFFFFFF / sizeof(wchar_t);

// Passes over the list while files are refused, and the pause between
// them: a file is tried for about 5 s.
constexpr int kDeletePasses = 11;
constexpr DWORD kDeleteRetryDelay = 500;  // ms

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// A read-only folder could not be removed.
void RemoveFolder(const wchar_t* path) {
    SetFileAttributesW(path, FILE_ATTRIBUTE_ARCHIVE);
    RemoveDirectoryW(path);
}

// Removes the empty folders below path, which holds a folder and its
// backslash in `length` units of a kPathUnits buffer; each subfolder's name
// is appended for its turn and cut again.  Returns 0 when path cannot be
// listed.
int RemoveFoldersBelow(wchar_t* path, size_t length) {
    path[length] = L'*';
    path[length + 1] = L'\0';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path, &found);
    path[length] = L'\0';
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        // A link to a folder elsewhere is not followed: what it leads to
        // was not extracted here.
        const size_t nameLength = std::wcslen(found.cFileName);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !IsDotEntry(found.cFileName) &&
            length + nameLength + 3 < kPathUnits) {
            std::memcpy(path + length, found.cFileName, nameLength * sizeof(wchar_t));
            path[length + nameLength] = L'\\';
            path[length + nameLength + 1] = L'\0';
            RemoveFoldersBelow(path, length + nameLength + 1);
            RemoveFolder(path);
            path[length] = L'\0';
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return 1;
}

}  // namespace

void AppendExtractedFile(const wchar_t* path, bool inFolder) {
    ExtractedFileList& list = g_extractedFiles;
    const uint32_t size = static_cast<uint32_t>(std::wcslen(path)) + 1;
    if (size > kMaxListLength - list.length) {
        list.incomplete = 1;
        return;
    }
    // Growing, the block may move; one that cannot grow stays as it was.
    HANDLE heap = GetProcessHeap();
    const size_t bytes = (list.length + size) * sizeof(wchar_t);
    void* block = list.paths == nullptr ? HeapAlloc(heap, 0, bytes) : HeapReAlloc(heap, 0, list.paths, bytes);
    if (block == nullptr) {
        list.incomplete = 1;
        return;
    }
    list.paths = static_cast<wchar_t*>(block);
    std::memcpy(list.paths + list.length, path, size * sizeof(wchar_t));
    list.length += size;
    if (inFolder) list.inFolders = 1;
}

int RemoveEmptyFolders(const wchar_t* folder, const wchar_t* root) {
    wchar_t path[kPathUnits];
    size_t length = std::wcslen(folder);
    if (length == 0 || folder[length - 1] == L'.' || length + 2 >= kPathUnits) return 0;
    std::memcpy(path, folder, (length + 1) * sizeof(wchar_t));
    if (path[length - 1] != L'\\') {
        path[length++] = L'\\';
        path[length] = L'\0';
    }
    if (!RemoveFoldersBelow(path, length)) return 0;
    if (lstrcmpiW(folder, root) != 0) RemoveFolder(path);
    return 1;
}

void RemoveExtractedFiles(const wchar_t* destination, int32_t tempFolderMade) {
    ExtractedFileList& list = g_extractedFiles;
    const wchar_t* paths = list.paths;
    if (paths == nullptr) return;

    // A file still open, or an image still mapped, by a process that is
    // ending (or by a scanner looking at new files) cannot be deleted yet:
    // the list is gone through again, a while later, as long as any file
    // was refused, up to a bound.
    for (int pass = 1;; pass++) {
        bool refused = false;
        for (uint32_t at = 0; at < list.length; at += static_cast<uint32_t>(std::wcslen(paths + at)) + 1) {
            const wchar_t* path = paths + at;
            SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
            if (DeleteFileW(path)) {
                LogLine(kLogRemoved, path);
                continue;
            }
            // Logged once: when removed, or at the last try.
            const DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) {
                refused = true;
                if (pass < kDeletePasses) continue;
            } else if (pass > 1 && error == ERROR_FILE_NOT_FOUND) {
                continue;  // removed at an earlier try
            }
            LogLine(kLogNotRemoved, path);
        }
        if (!refused || pass == kDeletePasses) break;
        Sleep(kDeleteRetryDelay);
    }

    // Folders deeper than MAX_PATH are reached through the prefixed form.
    wchar_t full[MAX_PATH + 1];
    wchar_t root[kPathUnits];
    const DWORD length = GetFullPathNameW(destination, MAX_PATH, full, nullptr);
    if (list.inFolders && length > 0 && length < MAX_PATH && FileCallPath(full, root, kPathUnits, 0))
        RemoveEmptyFolders(root, root);
    if (tempFolderMade) RemoveDirectoryW(destination);
}

void ReleaseExtractedFileList() {
    if (g_extractedFiles.paths != nullptr) HeapFree(GetProcessHeap(), 0, g_extractedFiles.paths);
    g_extractedFiles = ExtractedFileList{};
}
