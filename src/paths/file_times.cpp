#include "paths/file_times.h"

namespace {

// FILETIME of 1970-01-01 00:00 UTC, and FILETIME units per second.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ULL;

}  // namespace

bool UnixTimeToFileTime(uint32_t unixTime, FILETIME* fileTime) {
    if (static_cast<int32_t>(unixTime) < 0) return false;
    const uint64_t value = kUnixEpochAsFileTime + unixTime * kFileTimeUnitsPerSecond;
    fileTime->dwLowDateTime = static_cast<DWORD>(value);
    fileTime->dwHighDateTime = static_cast<DWORD>(value >> 32);
    return true;
}

void SetEntryTime(HANDLE file, uint8_t level, uint32_t timeStamp) {
    FILETIME utc;
    if (level == 2) {
        if (!UnixTimeToFileTime(timeStamp, &utc)) return;
    } else {
        FILETIME local;
        if (!DosDateTimeToFileTime(static_cast<WORD>(timeStamp >> 16), static_cast<WORD>(timeStamp),
                                   &local) ||
            !LocalFileTimeToFileTime(&local, &utc))
            return;
    }
    SetFileTime(file, &utc, nullptr, &utc);
}

uint32_t DosTimeOf(const FILETIME& utc) {
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return 0;
    return static_cast<uint32_t>(date) << 16 | time;
}

uint32_t EntryDosTime(uint8_t level, uint32_t timeStamp) {
    if (level != 2) return timeStamp;
    FILETIME utc;
    if (!UnixTimeToFileTime(timeStamp, &utc)) return timeStamp;
    return DosTimeOf(utc);
}
