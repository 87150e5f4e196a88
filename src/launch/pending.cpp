#include "launch/pending.h"

// not built yet
void LaunchAndWait(const char*, const char*, int32_t) {}

// not built yet
void AppendExtractedFile(const char*) {}

// not built yet
void RemoveExtractedFiles(const char*, int32_t) {}

// not built yet
void ReleaseExtractedFileList() {}
