// The text edit behind dialog 102's check box "Create folder as the archive
// name to extract".
#pragma once

#include <cstddef>

// checked: destination gets a trailing backslash and archiveName appended
// (nothing is appended when it would not fit in size units).
// unchecked: the trailing backslash goes, and the text is cut at the first
// occurrence of archiveName when no backslash follows it.
// In both cases the text ends with a backslash afterwards (if it fits).
void ApplyArchiveFolder(wchar_t* destination, size_t size, const wchar_t* archiveName, bool checked);
