// The run driver: one call carries a whole run, from opening the archive to
// the steps after the extraction.
#pragma once

#include <windows.h>

// archivePath (MAX_PATH units) is empty to extract the archive attached to
// the module, whose file name is then written into it.  Returns the
// process's exit code (see ModuleState).
DWORD RunArchive(wchar_t* archivePath);

// The archive's file name without its extension and trailing blanks, for
// the destination dialog's "create folder" check box (MAX_PATH units).
void ArchiveNameOf(const wchar_t* fileName, wchar_t* archiveName);
