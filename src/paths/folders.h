// Folder tokens of the configured destination, folder-tree creation and the
// checks that keep every entry of the archive inside the destination.
#pragma once

#include <windows.h>

#include <cstdint>

#include "archive/header.h"
#include "package/sfx_config.h"

// Expands a leading folder token ("%Desktop%", "%MyDocuments%",
// "%ProgramFiles%", "%SystemDir%", "%WinDir%", "%temp%") of a configured
// destination into output (MAX_PATH units).  Leaves output untouched and
// returns 0 when the destination is empty.  Returns 1 when the destination
// became a private folder under the temporary folder: "%temp%" alone for a
// run that removes its files afterwards gives the temporary folder followed
// by "~" and the file name of archivePath.
int ResolveFolderToken(wchar_t* output, const wchar_t* destination, bool removeAfterRun,
                       const wchar_t* archivePath);

// Reads a shell-folder path from the registry into buffer (MAX_PATH units).
// Returns 1 when the value was read and is not empty.
int ReadShellFolder(HKEY root, const char* subkey, wchar_t* buffer, const wchar_t* valueName);

// Creates every missing folder of an absolute drive ("C:\..."), UNC
// ("\\server\share\...") or prefixed ("\\?\C:\...", "\\?\UNC\...")
// path.  Returns 1 when every level exists afterwards; 0 for any other form
// of path or when a folder cannot be made.
int CreateFolderTree(const wchar_t* path);

// Units of an entry's name in UTF-16: the longest folders, a backslash, the
// longest file name and a terminator.
constexpr int kEntryNameUnits = sizeof(lzh::EntryHeader::name);

// The name of the entry read last, in UTF-16, into name (kEntryNameUnits):
// the header's exact file and folder names where it has them (names may be
// null), the rest converted from its code-page name with the code page the
// header names or else the system's.  Made relative as CleanEntryName
// makes it; returns the name past its leading backslashes.
wchar_t* EntryNameOf(const lzh::EntryHeader& header, const lzh::WideNames* names, wchar_t* name);

// Makes a stored entry name relative, in place: slashes separate folders
// as well, and every "..\" goes (StripParentRefs).  Returns the name past
// its leading backslashes.
wchar_t* CleanEntryName(wchar_t* name);

// Removes every "..\" from text in place, also the ones that removing
// others brings together ("...\.\" holds one only after the first goes).
void StripParentRefs(wchar_t* text);

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
// builds the output path (kPathUnits) in the form the file calls take
// (FileCallPath: prefixed when long).  A name is refused when it is empty,
// holds a character no file name may hold, or does not lie below the
// destination once the path is made canonical; one that does not fit
// kPathUnits with the destination is too long.
EntryPathResult PrepareEntryPath(const wchar_t* destination, wchar_t* name, wchar_t* output);
