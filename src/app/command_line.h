// The process's command line: the tail after the program's own name, and
// the switches /D, /E:, /H, /N, /O with an optional archive path.
#pragma once

// Size of the parser's working copy of the tail; a longer tail is cut.
constexpr int kCommandLineCopySize = 512;

// Skips the program name (quoted, or up to the first blank or control
// character) and the blanks after it.  The result points into commandLine.
const char* CommandLineTail(const char* commandLine);

// Sets g_state.runSettings from the switches in tail and writes the archive
// path, possibly empty, into archivePath (MAX_PATH bytes).  Returns 1 when
// the run is to go on, 0 when a named archive does not exist or is a folder.
int ParseCommandLine(const char* tail, char* archivePath);
