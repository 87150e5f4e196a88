// Time stamps of extracted files and folders, and the conversions between
// the archive's time forms (MS-DOS local time, Unix time) and FILETIME.
#pragma once

#include <windows.h>

#include <cstdint>

// Sets the creation and last-write time of an open file or folder to an
// entry's time stamp (levels 0 and 1 store MS-DOS local time, level 2 Unix
// time).  A stamp that does not convert, or a failure, leaves the times.
void SetEntryTime(HANDLE file, uint8_t level, uint32_t timeStamp);

// Converts a Unix time (seconds since 1970 UTC) to a FILETIME.  Returns
// false for a negative 32-bit value, for which the runtime gives no time.
bool UnixTimeToFileTime(uint32_t unixTime, FILETIME* fileTime);

// MS-DOS date/time (local, date in the high 16 bits) of a FILETIME in UTC;
// 0 when it cannot be converted.
uint32_t DosTimeOf(const FILETIME& utc);

// MS-DOS date/time (local, date in the high 16 bits) of an entry's time
// stamp: levels 0 and 1 store it so; level 2 stores Unix time, and a value
// that cannot be converted stands as it is.
uint32_t EntryDosTime(uint8_t level, uint32_t timeStamp);
