#include "extract/extracted_files.h"

#include <cstring>
#include <cwchar>

#include "paths/text.h"
#include "ui/run_log.h"

ExtractedFileList g_extractedFiles;

namespace {

// Search patterns and subfolder paths of RemoveEmptyFolders.
constexpr size_t kFolderTextSize = 512;

// Total length beyond which the list takes no more paths.
constexpr uint32_t kMaxListLength = 0x7FFFFFFF;

// Passes over the list while files are refused, and the pause between
// them: a file is tried for about 5 s.
constexpr int kDeletePasses = 11;
constexpr DWORD kDeleteRetryDelay = 500;  // ms

bool IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

void AppendExtractedFile(const char* path) {
    ExtractedFileList& list = g_extractedFiles;
    const uint32_t size = static_cast<uint32_t>(std::strlen(path)) + 1;
    if (size > kMaxListLength - list.length) {
        list.incomplete = 1;
        return;
    }
    // Growing, the block may move; one that cannot grow stays as it was.
    HANDLE heap = GetProcessHeap();
    void* block = list.paths == nullptr ? HeapAlloc(heap, 0, size)
                                        : HeapReAlloc(heap, 0, list.paths, list.length + size);
    if (block == nullptr) {
        list.incomplete = 1;
        return;
    }
    list.paths = static_cast<char*>(block);
    std::memcpy(list.paths + list.length, path, size);
    list.length += size;
}

int RemoveEmptyFolders(const char* folder, const char* root) {
    const size_t length = std::strlen(folder);
    if (length == 0 || folder[length - 1] == '.') return 0;
    char prefix[kFolderTextSize];
    char pattern[kFolderTextSize];
    if (!CopyText(prefix, sizeof prefix, folder) || !AddBackslash(prefix, sizeof prefix) ||
        !JoinText(pattern, sizeof pattern, prefix, "*.*"))
        return 0;

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        // A link to a folder elsewhere is not followed: what it leads to
        // was not extracted here.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !IsDotEntry(found.cFileName) &&
            JoinText(pattern, sizeof pattern, prefix, found.cFileName))
            RemoveEmptyFolders(pattern, root);
    } while (FindNextFileA(search, &found));
    FindClose(search);

    if (lstrcmpiA(folder, root) != 0) {
        // A read-only folder could not be removed.
        SetFileAttributesA(prefix, FILE_ATTRIBUTE_ARCHIVE);
        RemoveDirectoryA(prefix);
    }
    return 1;
}

void RemoveExtractedFiles(const char* destination, int32_t tempFolderMade) {
    ExtractedFileList& list = g_extractedFiles;
    const char* paths = list.paths;
    if (paths == nullptr) return;

    // Files below a subfolder leave folders to remove.
    const size_t base = std::strlen(destination);
    bool inSubfolder = false;
    // A file still open, or an image still mapped, by a process that is
    // ending (or by a scanner looking at new files) cannot be deleted yet:
    // the list is gone through again, a while later, as long as any file
    // was refused, up to a bound.
    for (int pass = 1;; pass++) {
        bool refused = false;
        for (uint32_t at = 0; at < list.length; at += static_cast<uint32_t>(std::strlen(paths + at)) + 1) {
            const char* path = paths + at;
            if (std::strlen(path) > base && std::wcschr(ToWide(path + base), L'\\') != nullptr)
                inSubfolder = true;
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            if (DeleteFileA(path)) {
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

    if (inSubfolder) RemoveEmptyFolders(destination, destination);
    if (tempFolderMade) RemoveDirectoryA(destination);
}

void ReleaseExtractedFileList() {
    if (g_extractedFiles.paths != nullptr) HeapFree(GetProcessHeap(), 0, g_extractedFiles.paths);
    g_extractedFiles = ExtractedFileList{};
}
