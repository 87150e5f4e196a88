// The files a run extracted, kept for their removal after the launched
// command when the run is set to remove them (removeAfterRun).
#pragma once

#include <windows.h>

#include <cstdint>

// Full paths in UTF-16, in the form the file calls take, one after the
// other, each followed by a NUL, in one block of the process heap that moves
// as it grows.  Filled by the extraction worker, read by the run driver
// after the worker has ended.
struct ExtractedFileList {
    wchar_t* paths;      // the block; null until the first path is added
    uint32_t length;     // units used: each path and its NUL
    int32_t incomplete;  // a path could not be added for want of memory
    int32_t inFolders;   // a file lies in a folder below the destination
};

extern ExtractedFileList g_extractedFiles;

// Adds the full path of a file that has been written completely; inFolder:
// it lies in a folder below the destination.  When the block cannot grow,
// the list stays as it was and is marked incomplete.
void AppendExtractedFile(const wchar_t* path, bool inFolder);

// Removes every folder below folder that is empty or becomes empty as its
// own subfolders go, depth first; folder itself goes too unless it is root.
// Files are never touched.  Paths past MAX_PATH need the \\?\ prefix.
// Returns 0 when folder ends with '.' or cannot be listed, else 1.
int RemoveEmptyFolders(const wchar_t* folder, const wchar_t* root);

// Deletes the listed files (read-only ones too), then, when some lay in
// folders, the folders below destination (which ends with a backslash)
// that are left empty, and with tempFolderMade the destination itself when
// it is empty by then.  Files refused for the moment (in use: sharing or
// access denied) are tried again for about 5 s.  Nothing is removed when
// nothing was listed.
void RemoveExtractedFiles(const wchar_t* destination, int32_t tempFolderMade);

// Frees the list; the next run starts without one.
void ReleaseExtractedFileList();
