#include "paths/text.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

// Conversion scratch buffers.  Only one thread uses them at a time: the
// main thread before and after the extraction, the worker during it.  They
// live on the heap, allocated at first use: in the image their bytes would
// cost file space.
struct TextScratch {
    wchar_t wide[kWideScratchUnits];
};
TextScratch* scratch;

// Without memory every conversion of a non-empty text gives the empty text.
wchar_t noWide[1];

bool HaveScratch() {
    if (scratch == nullptr) scratch = static_cast<TextScratch*>(std::malloc(sizeof(TextScratch)));
    return scratch != nullptr;
}

// wsprintfW never writes more than this many units.
constexpr size_t kFormatLimit = 1024;

}  // namespace

bool IsSystemLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

wchar_t* ToWide(const char* text) {
    const bool have = HaveScratch();
    wchar_t* wide = have ? scratch->wide : noWide;
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, have ? kWideScratchUnits : 1) == 0) wide[0] = L'\0';
    return wide;
}

int ModuleFilePath(HMODULE module, wchar_t* path) {
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return 1;
    path[0] = L'\0';
    return 0;
}

int AddBackslash(wchar_t* text, size_t size) {
    const size_t length = std::wcslen(text);
    if (length == 0 || text[length - 1] == L'\\') return 1;
    if (length + 2 > size) return 0;
    text[length] = L'\\';
    text[length + 1] = L'\0';
    return 1;
}

void RemoveBackslash(wchar_t* text) {
    const size_t length = std::wcslen(text);
    if (length > 0 && text[length - 1] == L'\\') text[length - 1] = L'\0';
}

void TrimTrailingSpaces(wchar_t* text) {
    size_t length = std::wcslen(text);
    while (length > 0 && text[length - 1] == L' ') text[--length] = L'\0';
}

int FileCallPath(const wchar_t* path, wchar_t* output, size_t units, size_t plainLimit) {
    static constexpr wchar_t kPrefix[] = L"\\\\?\\UNC";
    size_t prefix = 0;
    const bool unc = path[0] == L'\\' && path[1] == L'\\';
    // A path given with its prefix stays as it is.
    if (wcslen(path) >= plainLimit && !(unc && path[2] == L'?')) {
        // \\server\share becomes \\?\UNC\server\share.
        prefix = unc ? 7 : 4;
        path += unc;
    }
    if (prefix + wcslen(path) >= units) return 0;
    std::memcpy(output, kPrefix, prefix * sizeof(wchar_t));
    std::wcscpy(output + prefix, path);
    return 1;
}

void SlashesToBackslashes(wchar_t* text) {
    for (wchar_t* p = text; *p != L'\0'; p++)
        if (*p == L'/') *p = L'\\';
}

void SplitPath(const wchar_t* path, wchar_t* folder, wchar_t* name) {
    if (folder != nullptr) folder[0] = L'\0';
    if (name != nullptr) name[0] = L'\0';
    if (path == nullptr) return;
    const wchar_t* separator = std::wcsrchr(path, L'\\');
    const wchar_t* fileName = separator != nullptr ? separator + 1 : path;
    if (name != nullptr) CopyText(name, MAX_PATH, fileName);
    // A folder part too long for the buffer stays empty rather than name
    // another folder.
    const size_t folderLength = static_cast<size_t>(fileName - path);
    if (folder != nullptr && folderLength < MAX_PATH) {
        std::wmemcpy(folder, path, folderLength);
        folder[folderLength] = L'\0';
    }
}

int CopyText(wchar_t* destination, size_t size, const wchar_t* source) {
    if (size == 0) return 0;
    const size_t length = std::wcslen(source);
    const int fits = length < size ? 1 : 0;
    const size_t count = fits ? length : size - 1;
    std::wmemmove(destination, source, count);
    destination[count] = L'\0';
    return fits;
}

int JoinText(wchar_t* destination, size_t size, const wchar_t* first, const wchar_t* second) {
    const size_t firstLength = std::wcslen(first);
    const size_t secondLength = std::wcslen(second);
    if (firstLength + secondLength >= size) return 0;
    // second may lie inside destination (appending to itself); move it first.
    std::wmemmove(destination + firstLength, second, secondLength + 1);
    std::wmemmove(destination, first, firstLength);
    return 1;
}

int FormatText(wchar_t* output, const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int length = wvsprintfW(output, format, arguments);
    va_end(arguments);
    return length;
}

void FormatWithText(wchar_t* output, size_t size, const wchar_t* format, const wchar_t* text) {
    if (size == 0) return;
    if (size > kFormatLimit) size = kFormatLimit;
    const size_t formatLength = wcslen(format);
    // The "%s" itself produces nothing; the rest of the format is copied.
    const size_t fixed = formatLength >= 2 ? formatLength - 2 : formatLength;
    if (fixed + 1 > size) {
        CopyText(output, size, format);
        return;
    }
    wchar_t cut[kFormatLimit];
    CopyText(cut, size - fixed, text);
    FormatText(output, format, cut);
}
