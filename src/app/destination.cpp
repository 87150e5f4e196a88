#include "app/destination.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "paths/text.h"

namespace {

constexpr wchar_t kForbiddenCharacters[] = L";*?\"<>|";

// Working text with room for a folder and a name of MAX_PATH each.
struct WideText {
    wchar_t text[2 * MAX_PATH];
};

bool SetWide(WideText& out, const wchar_t* text) { return CopyText(out.text, 2 * MAX_PATH, text) != 0; }

bool AppendWide(WideText& out, const wchar_t* tail) { return JoinText(out.text, 2 * MAX_PATH, out.text, tail) != 0; }

// Resolves "..\" chains: every occurrence counts one level up, and only the
// text after the last one is kept.
bool ClimbFromArchiveFolder(WideText& resolved, const wchar_t* text, const wchar_t* archiveFolder) {
    int levels = 0;
    const wchar_t* rest = text;
    for (const wchar_t* found = std::wcsstr(text, L"..\\"); found != nullptr;
         found = std::wcsstr(rest, L"..\\")) {
        levels++;
        rest = found + 2;  // from the backslash on
    }
    if (!SetWide(resolved, archiveFolder)) return false;
    RemoveBackslash(resolved.text);
    for (int i = 0; i < levels; i++) {
        wchar_t* separator = std::wcsrchr(resolved.text, L'\\');
        if (separator == nullptr) return false;
        *separator = L'\0';
    }
    return AppendWide(resolved, rest);
}

}  // namespace

int ResolveDestination(wchar_t* destination, const wchar_t* archiveFolder) {
    SlashesToBackslashes(destination);
    RemoveBackslash(destination);

    WideText resolved;
    bool ok = true;
    const wchar_t* t = destination;
    const size_t length = std::wcslen(t);
    // Most forms lie next to the archive: its folder, then this tail (null
    // once the path is made otherwise).  Any relative path does, such as
    // sub\x (which the archive-name check box makes of a bare name): left as
    // it is, it would be taken from the working folder.
    const wchar_t* tail = t;
    if (std::wcschr(t, L'\\') == nullptr && (length == 0 || t[length - 1] != L':')) {
        // empty, or a bare name
    } else if (t[0] == L'\\' && t[1] != L'\\') {
        tail = t + 1;
    } else if (t[0] == L'.' && t[1] == L'\\') {
        tail = t + 2;
    } else if (t[0] == L'.' && t[1] == L'.' && t[2] == L'\\') {
        ok = ClimbFromArchiveFolder(resolved, t, archiveFolder);
        tail = nullptr;
    } else if (t[1] == L':' || (t[0] == L'\\' && t[1] == L'\\')) {
        ok = SetWide(resolved, t);  // a drive or UNC path
        tail = nullptr;
    }
    if (tail != nullptr) ok = SetWide(resolved, archiveFolder) && AppendWide(resolved, tail);

    if (ok) ok = std::wcspbrk(resolved.text, kForbiddenCharacters) == nullptr;
    if (ok) {
        TrimTrailingSpaces(resolved.text);
        ok = AddBackslash(resolved.text, MAX_PATH) != 0 && std::wcslen(resolved.text) < MAX_PATH;
    }
    CopyText(destination, MAX_PATH, ok ? resolved.text : archiveFolder);
    return ok ? 1 : 0;
}
