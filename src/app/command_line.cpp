#include "app/command_line.h"

#include <windows.h>

#include <cstring>

#include "app/state.h"
#include "paths/text.h"

namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The next piece of text between quotation marks, skipping empty pieces
// (like strtok with '"' as the only delimiter).  Cuts the piece off in place
// and returns it, or null when none is left; *next is where to go on.
char* NextQuotedPiece(char* from, char** next) {
    while (*from == '"') from++;
    if (*from == '\0') {
        *next = from;
        return nullptr;
    }
    char* end = std::strchr(from, '"');
    if (end == nullptr) {
        *next = from + std::strlen(from);
    } else {
        *end = '\0';
        *next = end + 1;
    }
    return from;
}

// A switch's value: value or "value with blanks", starting at value.
// Copies it into output (size bytes; a value that does not fit sets
// *tooLong), blanks its quotation marks in the copy and returns the
// position just after its terminator (the end of the text when it has none).
char* TakeValue(char* value, char* output, size_t size, int32_t* tooLong) {
    char* end;
    if (*value == '"') {
        *value++ = ' ';
        end = std::strchr(value, '"');
    } else {
        end = std::strchr(value, ' ');
    }
    const size_t length = end != nullptr ? static_cast<size_t>(end - value) : std::strlen(value);
    if (length >= size) *tooLong = 1;
    CopyTextPart(output, size, value, length);
    if (end == nullptr) return value + length;
    *end = ' ';
    return end + 1;
}

}  // namespace

const char* CommandLineTail(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        p++;
        while (*p != '\0' && *p != '"') p++;
        if (*p == '"') p++;
    } else {
        while (static_cast<unsigned char>(*p) > ' ') p++;
    }
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') p++;
    return p;
}

int ParseCommandLine(const char* tail, char* archivePath, DeployerSwitches& switches) {
    RunSettings& settings = g_state.runSettings;
    char copy[kCommandLineCopySize];
    if (!CopyText(copy, sizeof copy, tail)) switches.tooLong = 1;
    archivePath[0] = '\0';

    // The mark is where the last recognised switch ended.
    char* mark = nullptr;
    for (char* p = copy; *p != '\0';) {
        if (*p != '/') {
            p++;
            continue;
        }
        // The flag switches: which field, and the value it takes.
        int32_t* flag = nullptr;
        int32_t setTo = 1;
        switch (UpperAscii(p[1])) {
        case 'D': flag = &settings.removeAfterRun; break;
        case 'H': flag = &settings.skipDestinationDialog; break;
        case 'N':
            flag = &settings.openFolder;
            setTo = 0;
            break;
        case 'O': flag = &settings.noConfirm; break;
        case 'S': flag = &switches.silent; break;
        case 'C': flag = &switches.extractOnly; break;
        case '?': flag = &switches.showHelp; break;
        case 'E':
        case 'T':
        case 'L':
        case 'A':
            if (p[2] == ':') {
                char* value = p + 3;
                char* start = *value == '"' ? value + 1 : value;
                const char letter = UpperAscii(p[1]);
                char* output = letter == 'E'   ? settings.command
                               : letter == 'T' ? switches.destination
                               : letter == 'L' ? switches.logPath
                                               : switches.arguments;
                const size_t size = letter == 'E'   ? sizeof settings.command
                                    : letter == 'A' ? sizeof switches.arguments
                                                    : MAX_PATH;
                mark = TakeValue(value, output, size, &switches.tooLong);
                // Switch letters inside /E:'s value take effect as well (as
                // they always did, from the value's second character on); the
                // deployer's values are taken whole, so that /A:"/S" reaches
                // the installer and nothing else.
                p = letter == 'E' ? (*start != '\0' ? start + 1 : start) : mark;
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

    if (char* quote = std::strchr(copy, '"')) {
        // "archive" "destination": at least one blank between the two parts.
        char* next;
        const char* archive = NextQuotedPiece(quote, &next);
        if (archive != nullptr) {
            CopyText(archivePath, MAX_PATH, archive);
            const char* between = NextQuotedPiece(next, &next);
            if (between != nullptr && between[0] == ' ') {
                const char* destination = NextQuotedPiece(next, &next);
                // A folder, or a path that does not exist yet; never a plain file.
                if (destination != nullptr &&
                    (GetFileAttributesW(ToWide(destination)) & FILE_ATTRIBUTE_DIRECTORY) != 0)
                    CopyText(settings.destination, sizeof settings.destination, destination);
            }
        }
    } else if (mark == nullptr) {
        CopyText(archivePath, MAX_PATH, copy);
    } else if (*mark == '\0') {
        // The last switch ended the line: the path is what stands before the first.
        CopyTextPart(archivePath, MAX_PATH, copy, static_cast<size_t>(std::strchr(copy, '/') - copy));
        TrimTrailingSpaces(archivePath);
    } else {
        while (*mark == ' ') mark++;
        CopyText(archivePath, MAX_PATH, mark);
    }

    // The deployer's destination wins over the quoted one; with a block the block's tokens apply.
    if (switches.destination[0] != '\0')
        CopyText(settings.destination, sizeof settings.destination, switches.destination);

    if (archivePath[0] != '\0') {
        TrimTrailingSpaces(archivePath);
        const DWORD attributes = GetFileAttributesW(ToWide(archivePath));
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 0;
    }
    return 1;
}
