// Adds or removes the subfolder named after the archive at the end of the
// destination text.
#include "ui/archive_folder.h"

#include <cstring>

#include "paths/text.h"

namespace {

const char* NextCharacter(const char* p) {
    if (IsSystemLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') return p + 2;
    return p + 1;
}

// First occurrence of name that starts on a character boundary, or null.
char* FindName(char* text, const char* name, size_t nameLength) {
    for (char* p = text; *p != '\0'; p = const_cast<char*>(NextCharacter(p))) {
        if (strncmp(p, name, nameLength) == 0) return p;
    }
    return nullptr;
}

bool HasSeparator(const char* text) {
    for (const char* p = text; *p != '\0'; p = NextCharacter(p)) {
        if (*p == '\\') return true;
    }
    return false;
}

}  // namespace

void ApplyArchiveFolder(char* destination, size_t size, const char* archiveName, bool checked) {
    const size_t nameLength = strlen(archiveName);
    if (checked) {
        AddBackslash(destination, size);
        const size_t length = strlen(destination);
        if (length + nameLength < size) memcpy(destination + length, archiveName, nameLength + 1);
    } else {
        RemoveBackslash(destination);
        // An empty name would match at the very start and cut everything.
        char* found = nameLength > 0 ? FindName(destination, archiveName, nameLength) : nullptr;
        if (found != nullptr && !HasSeparator(found + nameLength)) *found = '\0';
    }
    AddBackslash(destination, size);
}
