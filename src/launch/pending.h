// After-extraction steps that the run driver and the worker call:
// launching the configured command, the list of extracted files and its
// removal.
#pragma once

#include <windows.h>

#include <cstdint>

// Starts command in destination; with removeAfterRun, waits for it and for
// the installer windows it leaves.
void LaunchAndWait(const char* command, const char* destination, int32_t removeAfterRun);

// Records a written file for removal after the run.
void AppendExtractedFile(const char* path);

// Deletes the recorded files and the folders they leave empty.
void RemoveExtractedFiles(const char* destination, int32_t tempFolderMade);

// Releases the list of recorded files.
void ReleaseExtractedFileList();
