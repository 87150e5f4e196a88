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
    char narrow[kNarrowScratchBytes];
};
TextScratch* scratch;

// Without memory every conversion of a non-empty text gives the empty text.
wchar_t noWide[1];
char noNarrow[1];

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

int AnsiPathOf(const wchar_t* wide, char* path) {
    wchar_t shortPath[MAX_PATH];
    const wchar_t* form = wide;
    for (int attempt = 0; attempt < 2; attempt++) {
        // Code page 65001 takes no default character, and loses none.
        BOOL lossy = FALSE;
        BOOL* check = GetACP() == CP_UTF8 ? nullptr : &lossy;
        if (WideCharToMultiByte(CP_ACP, 0, form, -1, path, MAX_PATH, nullptr, check) > 0 && !lossy) return 1;
        const DWORD length = GetShortPathNameW(wide, shortPath, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) break;
        form = shortPath;
    }
    path[0] = '\0';
    return 0;
}

int ModuleFilePath(HMODULE module, char* path) {
    wchar_t wide[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, wide, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return AnsiPathOf(wide, path);
    path[0] = '\0';
    return 0;
}

char* ToNarrow(const wchar_t* text) {
    const bool have = HaveScratch();
    char* narrow = have ? scratch->narrow : noNarrow;
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, have ? kNarrowScratchBytes : 1, nullptr, nullptr) ==
        0)
        narrow[0] = '\0';
    return narrow;
}

int IsMidCharacter(const char* text, size_t position, LeadBytePredicate isLeadByte) {
    size_t offset = 0;
    while (offset < position && text[offset] != '\0') {
        const unsigned char c = static_cast<unsigned char>(text[offset]);
        // A lead byte at the very end has no second byte to step over.
        offset += isLeadByte(c) && text[offset + 1] != '\0' ? 2 : 1;
    }
    return offset > position ? 1 : 0;
}

int IsMidCharacter(const char* text, size_t position) {
    return IsMidCharacter(text, position, IsSystemLeadByte);
}

int AddBackslash(char* text, size_t size, LeadBytePredicate isLeadByte) {
    const size_t length = std::strlen(text);
    if (length == 0) return 1;
    if (text[length - 1] == '\\' && !IsMidCharacter(text, length - 1, isLeadByte)) return 1;
    if (length + 2 > size) return 0;
    text[length] = '\\';
    text[length + 1] = '\0';
    return 1;
}

int AddBackslash(char* text, size_t size) { return AddBackslash(text, size, IsSystemLeadByte); }

void RemoveBackslash(char* text) {
    const size_t length = std::strlen(text);
    if (length == 0) return;
    const wchar_t* wide = ToWide(text);
    const size_t units = wcslen(wide);
    if (units > 0 && wide[units - 1] == L'\\') text[length - 1] = '\0';
}

namespace {

// One form for both widths of text.
size_t LengthOf(const char* text) { return std::strlen(text); }
size_t LengthOf(const wchar_t* text) { return std::wcslen(text); }

template <typename Char>
void TrimSpaces(Char* text) {
    size_t length = LengthOf(text);
    while (length > 0 && text[length - 1] == ' ') text[--length] = 0;
}

template <typename Char>
int CopyTextOf(Char* destination, size_t size, const Char* source) {
    if (size == 0) return 0;
    const size_t length = LengthOf(source);
    if (length < size) {
        std::memmove(destination, source, (length + 1) * sizeof(Char));
        return 1;
    }
    std::memmove(destination, source, (size - 1) * sizeof(Char));
    destination[size - 1] = 0;
    return 0;
}

template <typename Char>
int JoinTextOf(Char* destination, size_t size, const Char* first, const Char* second) {
    const size_t firstLength = LengthOf(first);
    const size_t secondLength = LengthOf(second);
    if (firstLength + secondLength >= size) return 0;
    // second may lie inside destination (appending to itself); move it first.
    std::memmove(destination + firstLength, second, (secondLength + 1) * sizeof(Char));
    std::memmove(destination, first, firstLength * sizeof(Char));
    return 1;
}

}  // namespace

void TrimTrailingSpaces(char* text) { TrimSpaces(text); }
void TrimTrailingSpaces(wchar_t* text) { TrimSpaces(text); }

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

void SlashesToBackslashes(char* text) {
    for (char* p = text; *p != '\0'; p++)
        if (*p == '/') *p = '\\';
}

void SplitPath(const char* path, char* folder, char* name) {
    if (folder != nullptr) folder[0] = '\0';
    if (name != nullptr) name[0] = '\0';
    if (path == nullptr || path[0] == '\0') return;

    wchar_t* wide = ToWide(path);
    const size_t units = wcslen(wide);
    if (units > 0 && wide[units - 1] == L'\\') {
        if (folder != nullptr) CopyText(folder, MAX_PATH, ToNarrow(wide));
        return;
    }
    wchar_t* separator = wcsrchr(wide, L'\\');
    if (separator == nullptr) {
        if (name != nullptr) CopyText(name, MAX_PATH, path);
        return;
    }
    if (name != nullptr) CopyText(name, MAX_PATH, ToNarrow(separator + 1));
    separator[1] = L'\0';
    if (folder != nullptr) CopyText(folder, MAX_PATH, ToNarrow(wide));
}

int CopyText(char* destination, size_t size, const char* source) {
    return CopyTextOf(destination, size, source);
}

int CopyText(wchar_t* destination, size_t size, const wchar_t* source) {
    return CopyTextOf(destination, size, source);
}

void CopyTextPart(char* destination, size_t size, const char* source, size_t length) {
    if (size == 0) return;
    size_t count = 0;
    while (count < length && count + 1 < size && source[count] != '\0') count++;
    std::memmove(destination, source, count);
    destination[count] = '\0';
}

int JoinText(char* destination, size_t size, const char* first, const char* second) {
    return JoinTextOf(destination, size, first, second);
}

int JoinText(wchar_t* destination, size_t size, const wchar_t* first, const wchar_t* second) {
    return JoinTextOf(destination, size, first, second);
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
