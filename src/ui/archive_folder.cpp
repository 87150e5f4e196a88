// Adds or removes the subfolder named after the archive at the end of the
// destination text.
#include "ui/archive_folder.h"

#include <cwchar>

#include "paths/text.h"

void ApplyArchiveFolder(wchar_t* destination, size_t size, const wchar_t* archiveName, bool checked) {
    const size_t nameLength = std::wcslen(archiveName);
    if (checked) {
        AddBackslash(destination, size);
        const size_t length = std::wcslen(destination);
        if (length + nameLength < size) std::wmemcpy(destination + length, archiveName, nameLength + 1);
    } else {
        RemoveBackslash(destination);
        // An empty name would match at the very start and cut everything.
        wchar_t* found = nameLength > 0 ? std::wcsstr(destination, archiveName) : nullptr;
        if (found != nullptr && std::wcschr(found + nameLength, L'\\') == nullptr) *found = L'\0';
    }
    AddBackslash(destination, size);
}
