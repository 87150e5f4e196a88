#include "ui/run_log.h"

#include <cstdarg>
#include <cstring>

#include "ui/ui.h"

namespace {

// wvsprintfA writes at most this many bytes, terminator included.
constexpr int kLineSize = 1024;
// Wide characters converted to UTF-8 at a time: at most three bytes each.
constexpr int kChunk = kLineSize / 4;

// The formats one after another, in the order of LogFormat: the calls pass
// a number, and the module holds no table of pointers to them.
constexpr char kFormats[] =
    "lzhsfx %s\0"
    "package: %s\0"
    "command: %s\0"
    "destination: %s, remove: %ld, replace: %ld, crc-32: %08lX\0"
    "%s: %lu bytes, %s\0"
    "kept: %s\0"
    "skipped: %s\0"
    "message: %s\0"
    "start: %s%s\0"
    "command's exit code: %lu\0"
    "removed: %s\0"
    "not removed: %s\0"
    "exit code: %lu";

}  // namespace

bool OpenRunLog(const char* path) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
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
    char line[kLineSize];
    va_list arguments;
    va_start(arguments, format);
    wvsprintfA(line, text, arguments);
    va_end(arguments);

    wchar_t wide[kLineSize + 2];
    int length = MultiByteToWideChar(CP_ACP, 0, line, -1, wide, kLineSize) - 1;
    if (length < 0) length = 0;
    for (int i = 0; i < length; i++)
        if (wide[i] < L' ') wide[i] = L' ';
    wide[length++] = L'\r';
    wide[length++] = L'\n';
    // The line's own buffer takes the UTF-8 form, a piece at a time.
    for (int at = 0; at < length; at += kChunk) {
        const int count = length - at < kChunk ? length - at : kChunk;
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide + at, count, line, kLineSize, nullptr, nullptr);
        DWORD written;
        WriteFile(g_ui.log, line, static_cast<DWORD>(size), &written, nullptr);
    }
}
