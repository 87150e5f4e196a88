#include "ui/run_log.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>

#include "paths/text.h"
#include "ui/ui.h"

namespace {

// wvsprintfW writes at most this many units, terminator included.
constexpr int kLineSize = 1024;
// UTF-16 units converted to UTF-8 at a time: at most three bytes each.
constexpr int kChunk = 256;

// The formats one after another, in the order of LogFormat: the calls pass
// a number, and the module holds no table of pointers to them.  They are
// ASCII, widened when used.
constexpr char kFormats[] =
    "lzhsfx %s\0"
    "package: %s\0"
    "command: %hs\0"
    "destination: %s, remove: %ld, replace: %ld, crc-32: %08lX\0"
    "%s: %lu bytes, %hs\0"
    "kept: %s\0"
    "skipped: %s\0"
    "message: %s\0"
    "start: %s%s\0"
    "command's exit code: %lu\0"
    "removed: %s\0"
    "not removed: %s\0"
    "exit code: %lu";

}  // namespace

bool OpenRunLog(const wchar_t* path) {
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    g_ui.log = file;
    if (GetFileSize(file, nullptr) == 0) {
        DWORD written;
        WriteFile(file, "\xEF\xBB\xBF", 3, &written, nullptr);
    }
    return true;
}

void LogLine(LogFormat format, ...) {
    if (g_ui.log == nullptr) return;
    const char* text = kFormats;
    for (int n = format; n > 0; n--) text += std::strlen(text) + 1;
    wchar_t wideFormat[64];
    for (int i = 0; (wideFormat[i] = static_cast<unsigned char>(text[i])) != 0; i++) {}
    wchar_t line[kLineSize + 2];
    va_list arguments;
    va_start(arguments, format);
    wvsprintfW(line, wideFormat, arguments);
    va_end(arguments);
    // wvsprintfW cuts a line at 1,024 units; Wine then counts the terminator.
    line[kLineSize - 1] = L'\0';
    int length = static_cast<int>(std::wcslen(line));
    for (int i = 0; i < length; i++)
        if (line[i] < L' ') line[i] = L' ';
    line[length++] = L'\r';
    line[length++] = L'\n';
    // A piece at a time, never splitting a surrogate pair.
    char utf8[kChunk * 3];
    for (int at = 0; at < length;) {
        int count = length - at < kChunk ? length - at : kChunk;
        if (count == kChunk && IS_HIGH_SURROGATE(line[at + count - 1])) count--;
        const int size = WideCharToMultiByte(CP_UTF8, 0, line + at, count, utf8, sizeof utf8, nullptr, nullptr);
        DWORD written;
        WriteFile(g_ui.log, utf8, static_cast<DWORD>(size), &written, nullptr);
        at += count;
    }
}
