// Folder tokens of the configured destination, folder-tree creation and the
// checks that keep every entry of the archive inside the destination.
#pragma once

#include <windows.h>

#include <cstdint>

#include "package/sfx_config.h"

// Expands a leading folder token ("%Desktop%", "%MyDocuments%",
// "%ProgramFiles%", "%SystemDir%", "%WinDir%", "%temp%") of the block's
// destination into output (MAX_PATH bytes).  Leaves output untouched and
// returns 0 when the block's destination is empty.  Returns 1 when the
// destination became a private folder under the temporary folder: "%temp%"
// alone in a block that removes its files after the run gives the
// temporary folder followed by "~" and the file name of archivePath.
int ResolveFolderToken(char* output, const SfxConfig& block, const char* archivePath);

// Reads a shell-folder path from the registry into buffer (MAX_PATH bytes).
// Returns 1 when the value was read and is not empty.
int ReadShellFolder(HKEY root, const char* subkey, char* buffer, const char* valueName);

// Creates every missing folder of an absolute drive ("C:\...") or UNC
// ("\\server\share\...") path.  Returns 1 when every level exists
// afterwards; 0 for any other form of path or when a folder cannot be made.
int CreateFolderTree(const char* path);

// Makes a stored entry name relative, in place: slashes separate folders
// as well, and every "..\" goes (StripParentRefs).  Returns the name past
// a leading backslash.
char* CleanEntryName(char* name);

// Removes every "..\" from text in place, also the ones that removing
// others brings together ("...\.\" holds one only after the first goes).
void StripParentRefs(char* text);

// Outcomes of PrepareEntryPath.
enum EntryPathResult : int32_t {
    kEntryPathFailed = -1,   // a folder could not be made
    kEntryPathFolder = 0,    // the name ends with '\': its folders exist, output ends with '\'
    kEntryPathFile = 1,      // output is the file to write; its folders exist
    kEntryPathRejected = 2,  // the name is refused; nothing created
    kEntryPathTooLong = 3,   // the name does not fit a Windows path below the destination
};

// Checks the entry name (trailing blanks are cut off in place), creates the
// folders it names below destination (which ends with a backslash) and
// builds the output path (MAX_PATH bytes).  A name is refused when it is
// empty, holds a character no file name may hold, or does not lie below the
// destination once the path is made canonical; one that does not fit
// MAX_PATH bytes with the destination is too long.
EntryPathResult PrepareEntryPath(const char* destination, char* name, char* output);
