#include "app/command_line.h"

#include <windows.h>

#include <cwchar>

#include "app/state.h"
#include "paths/text.h"

namespace {

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// The next piece of text between quotation marks, skipping empty pieces
// (like strtok with '"' as the only delimiter).  Cuts the piece off in place
// and returns it, or null when none is left; *next is where to go on.
wchar_t* NextQuotedPiece(wchar_t* from, wchar_t** next) {
    while (*from == L'"') from++;
    if (*from == L'\0') {
        *next = from;
        return nullptr;
    }
    wchar_t* end = std::wcschr(from, L'"');
    if (end == nullptr) {
        *next = from + std::wcslen(from);
    } else {
        *end = L'\0';
        *next = end + 1;
    }
    return from;
}

// A switch's value: value or "value with blanks", starting at value.
// Copies it into output (size units; a value that does not fit sets
// *tooLong), blanks its quotation marks in the copy and returns the
// position just after its terminator (the end of the text when it has none).
wchar_t* TakeValue(wchar_t* value, wchar_t* output, size_t size, int32_t* tooLong) {
    wchar_t* end;
    if (*value == L'"') {
        *value++ = L' ';
        end = std::wcschr(value, L'"');
    } else {
        end = std::wcschr(value, L' ');
    }
    const size_t length = end != nullptr ? static_cast<size_t>(end - value) : std::wcslen(value);
    if (length >= size) *tooLong = 1;
    const size_t kept = length < size ? length : size - 1;
    std::wmemcpy(output, value, kept);
    output[kept] = L'\0';
    if (end == nullptr) return value + length;
    *end = L' ';
    return end + 1;
}

}  // namespace

const wchar_t* CommandLineTail(const wchar_t* commandLine) {
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        p++;
        while (*p != L'\0' && *p != L'"') p++;
        if (*p == L'"') p++;
    } else {
        while (*p > L' ') p++;
    }
    while (*p != L'\0' && *p <= L' ') p++;
    return p;
}

int ParseCommandLine(const wchar_t* tail, wchar_t* archivePath, DeployerSwitches& switches) {
    RunSettings& settings = g_state.runSettings;
    wchar_t copy[kCommandLineCopySize];
    if (!CopyText(copy, kCommandLineCopySize, tail)) switches.tooLong = 1;
    archivePath[0] = L'\0';

    // The mark is where the last recognised switch ended.
    wchar_t* mark = nullptr;
    for (wchar_t* p = copy; *p != L'\0';) {
        if (*p != L'/') {
            p++;
            continue;
        }
        // The flag switches: which field, and the value it takes.
        int32_t* flag = nullptr;
        int32_t setTo = 1;
        switch (UpperAscii(p[1])) {
        case L'D': flag = &settings.removeAfterRun; break;
        case L'H': flag = &settings.skipDestinationDialog; break;
        case L'N':
            flag = &settings.openFolder;
            setTo = 0;
            break;
        case L'O': flag = &settings.noConfirm; break;
        case L'S': flag = &switches.silent; break;
        case L'C': flag = &switches.extractOnly; break;
        case L'?': flag = &switches.showHelp; break;
        case L'E':
        case L'T':
        case L'L':
        case L'A':
            if (p[2] == L':') {
                wchar_t* value = p + 3;
                wchar_t* start = *value == L'"' ? value + 1 : value;
                const wchar_t letter = UpperAscii(p[1]);
                // /E:'s command goes into the block's field, in the code page.
                wchar_t command[sizeof settings.command];
                wchar_t* output = letter == L'E'   ? command
                                  : letter == L'T' ? switches.destination
                                  : letter == L'L' ? switches.logPath
                                                   : switches.arguments;
                const size_t size = letter == L'E'   ? sizeof settings.command
                                    : letter == L'A' ? kCommandLineCopySize
                                                     : MAX_PATH;
                mark = TakeValue(value, output, size, &switches.tooLong);
                if (letter == L'E' && WideCharToMultiByte(CP_ACP, 0, command, -1, settings.command,
                                                          sizeof settings.command, nullptr, nullptr) == 0) {
                    settings.command[0] = '\0';
                    switches.tooLong = 1;
                }
                // Switch letters inside /E:'s value take effect as well (as
                // they always did, from the value's second character on); the
                // deployer's values are taken whole, so that /A:"/S" reaches
                // the installer and nothing else.
                p = letter == L'E' ? (*start != L'\0' ? start + 1 : start) : mark;
                continue;
            }
            break;
        default: break;
        }
        if (flag != nullptr) {
            *flag = setTo;
            mark = p + 2;
        }
        p++;
    }
    if (settings.command[0] == '\0') settings.removeAfterRun = 0;

    if (wchar_t* quote = std::wcschr(copy, L'"')) {
        // "archive" "destination": at least one blank between the two parts.
        wchar_t* next;
        const wchar_t* archive = NextQuotedPiece(quote, &next);
        if (archive != nullptr) {
            CopyText(archivePath, MAX_PATH, archive);
            const wchar_t* between = NextQuotedPiece(next, &next);
            if (between != nullptr && between[0] == L' ') {
                const wchar_t* destination = NextQuotedPiece(next, &next);
                // A folder, or a path that does not exist yet; never a plain file.
                if (destination != nullptr && (GetFileAttributesW(destination) & FILE_ATTRIBUTE_DIRECTORY) != 0)
                    CopyText(g_state.destination, MAX_PATH, destination);
            }
        }
    } else if (mark == nullptr) {
        CopyText(archivePath, MAX_PATH, copy);
    } else if (*mark == L'\0') {
        // The last switch ended the line: the path is what stands before the
        // first (its trailing blanks go below).
        *std::wcschr(copy, L'/') = L'\0';
        CopyText(archivePath, MAX_PATH, copy);
    } else {
        while (*mark == L' ') mark++;
        CopyText(archivePath, MAX_PATH, mark);
    }

    // The deployer's destination wins over the quoted one; with a block the block's tokens apply.
    if (switches.destination[0] != L'\0') CopyText(g_state.destination, MAX_PATH, switches.destination);

    if (archivePath[0] != L'\0') {
        TrimTrailingSpaces(archivePath);
        const DWORD attributes = GetFileAttributesW(archivePath);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 0;
    }
    return 1;
}
