#include "app/destination.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "paths/text.h"

namespace {

constexpr wchar_t kForbiddenCharacters[] = L";*?\"<>|";

// UTF-16 working text with room for a folder and a name of MAX_PATH each.
struct WideText {
    wchar_t text[2 * MAX_PATH];
};

bool SetWide(WideText& out, const char* narrow) {
    const wchar_t* wide = ToWide(narrow);
    const size_t length = std::wcslen(wide);
    if (length >= sizeof out.text / sizeof out.text[0]) return false;
    std::wmemcpy(out.text, wide, length + 1);
    return narrow[0] == '\0' || length > 0;
}

bool AppendWide(WideText& out, const wchar_t* tail) {
    const size_t length = std::wcslen(out.text);
    const size_t tailLength = std::wcslen(tail);
    if (length + tailLength >= sizeof out.text / sizeof out.text[0]) return false;
    std::wmemcpy(out.text + length, tail, tailLength + 1);
    return true;
}

// Resolves "..\" chains: every occurrence counts one level up, and only the
// text after the last one is kept.
bool ClimbFromArchiveFolder(WideText& resolved, const wchar_t* text, const char* archiveFolder) {
    int levels = 0;
    const wchar_t* rest = text;
    for (const wchar_t* found = std::wcsstr(text, L"..\\"); found != nullptr;
         found = std::wcsstr(rest, L"..\\")) {
        levels++;
        rest = found + 2;  // from the backslash on
    }
    if (!SetWide(resolved, archiveFolder)) return false;
    size_t length = std::wcslen(resolved.text);
    if (length > 0 && resolved.text[length - 1] == L'\\') resolved.text[--length] = L'\0';
    for (int i = 0; i < levels; i++) {
        wchar_t* separator = std::wcsrchr(resolved.text, L'\\');
        if (separator == nullptr) return false;
        *separator = L'\0';
    }
    return AppendWide(resolved, rest);
}

}  // namespace

int ResolveDestination(char* destination, const char* archiveFolder) {
    SlashesToBackslashes(destination);
    RemoveBackslash(destination);

    WideText text;
    WideText resolved;
    bool ok = SetWide(text, destination);
    const wchar_t* t = text.text;
    const size_t length = std::wcslen(t);
    // Most forms lie next to the archive: its folder, then this tail (null
    // once the path is made otherwise).  Any relative path does, such as
    // sub\x (which the archive-name check box makes of a bare name): left as
    // it is, it would be taken from the working folder.
    const wchar_t* tail = t;
    if (!ok) {
        tail = nullptr;  // not convertible: refused below
    } else if (std::wcschr(t, L'\\') == nullptr && (length == 0 || t[length - 1] != L':')) {
        // empty, or a bare name
    } else if (t[0] == L'\\' && t[1] != L'\\') {
        tail = t + 1;
    } else if (t[0] == L'.' && t[1] == L'\\') {
        tail = t + 2;
    } else if (t[0] == L'.' && t[1] == L'.' && t[2] == L'\\') {
        ok = ClimbFromArchiveFolder(resolved, t, archiveFolder);
        tail = nullptr;
    } else if (t[1] == L':' || (t[0] == L'\\' && t[1] == L'\\')) {
        resolved = text;  // a drive or UNC path
        tail = nullptr;
    }
    if (tail != nullptr) ok = SetWide(resolved, archiveFolder) && AppendWide(resolved, tail);

    char result[MAX_PATH];
    if (ok) ok = std::wcspbrk(resolved.text, kForbiddenCharacters) == nullptr;
    if (ok) {
        const char* narrow = ToNarrow(resolved.text);
        ok = (narrow[0] != '\0' || resolved.text[0] == L'\0') && CopyText(result, sizeof result, narrow);
    }
    if (ok) {
        TrimTrailingSpaces(result);
        ok = AddBackslash(result, sizeof result) != 0;
    }
    CopyText(destination, MAX_PATH, ok ? result : archiveFolder);
    return ok ? 1 : 0;
}
