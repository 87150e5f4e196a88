// The extraction thread: reads entry after entry from the archive stream
// and writes each below the destination folder.
#pragma once

#include <windows.h>

#include <cstdint>

// Thread procedure started by the run driver.  Everything it uses is in
// g_state: the archive stream at the first header, the header buffer,
// reader and decoder, the run settings and the progress window, which it
// closes when it ends.  Returns 0, or -1 when a folder could not be made
// or the user cancelled the replace confirmation; the run's outcome is in
// g_state.abortState.
DWORD WINAPI ExtractionWorker(LPVOID unused);

// Removes every "..\" from text in place, also the ones that removing
// others brings together ("...\.\" holds one only after the first goes).
// Always returns 1.
int StripParentRefs(char* text);

// Sets the creation and last-write time of a file or folder.  Failures are
// silent.
void SetFileTimes(const char* path, const FILETIME& time, bool folder);

// Same from an MS-DOS date and time in local time.
void SetFileTimesFromDos(const char* path, uint16_t date, uint16_t time, bool folder);

// Converts a Unix time (seconds since 1970 UTC) to a FILETIME.  Returns
// false for a negative 32-bit value, for which the runtime gives no time.
bool UnixTimeToFileTime(uint32_t unixTime, FILETIME* fileTime);

// MS-DOS date/time (local, date in the high 16 bits) of an entry's time
// stamp: levels 0 and 1 store it so; level 2 stores Unix time, and a value
// that cannot be converted stands as it is.
uint32_t EntryDosTime(uint8_t level, uint32_t timeStamp);
