// The run's log (/L:FILE): one UTF-8 line per fact, appended to the file,
// for the administrator of a machine nobody watched.  Without an open log
// every call does nothing; a log that cannot be written never stops the run.
#pragma once

#include <windows.h>

// Opens (or creates) the log at path, relative to the current folder.  A
// new log starts with a byte-order mark, so that older editors take it for
// UTF-8.  Returns false when it cannot be opened.
bool OpenRunLog(const char* path);

// Formats one line with wvsprintfA (texts in the ANSI code page, at most
// 1,023 characters) and appends it in UTF-8; line breaks in the text
// become blanks.
void LogLine(const char* format, ...);
