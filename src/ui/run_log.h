// The run's log (/L:FILE): one UTF-8 line per fact, appended to the file,
// for the administrator of a machine nobody watched.  Without an open log
// every call does nothing; a log that cannot be written never stops the run.
#pragma once

#include <windows.h>

// Opens (or creates) the log at path, relative to the current folder.  A
// new log starts with a byte-order mark, so that older editors take it for
// UTF-8.  Returns false when it cannot be opened.
bool OpenRunLog(const wchar_t* path);

// The lines of the log, by their formats (run_log.cpp holds them in this
// order): "%s" takes a UTF-16 text, "%hs" one in the ANSI code page.
enum LogFormat : int {
    kLogStart,           // "lzhsfx %s": the command line
    kLogPackage,         // "package: %s"
    kLogCommand,         // "command: %hs"
    kLogSettings,        // "destination: %s, remove: %ld, replace: %ld, crc-32: %08lX"
    kLogEntry,           // "%s: %lu bytes, %hs": path, size, outcome
    kLogKept,            // "kept: %s": a file not replaced
    kLogSkipped,         // "skipped: %s": the box text of the cause
    kLogMessage,         // "message: %s": a box
    kLogLaunch,          // "start: %s%s": destination and command
    kLogCommandExit,     // "command's exit code: %lu"
    kLogRemoved,         // "removed: %s"
    kLogNotRemoved,      // "not removed: %s"
    kLogExit,            // "exit code: %lu"
};

// Formats one line with wvsprintfW (at most 1,023 characters) and appends
// it in UTF-8; line breaks in the text become blanks.
void LogLine(LogFormat format, ...);
