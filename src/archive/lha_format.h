// The LHA format as the reader, the decoders and the encoder share it:
// MS-DOS date/time fields.  (More of the format joins here.)
#pragma once

#include <cstdint>

namespace lzh {

// An MS-DOS date/time as levels 0 and 1 store it (local time, date in the
// high 16 bits): year 1980..2107, second in steps of two.
struct DosDateTime {
    unsigned year, month, day, hour, minute, second;
};

constexpr DosDateTime UnpackDosTime(uint32_t packed) {
    const unsigned date = packed >> 16, clock = packed & 0xFFFF;
    return {(date >> 9) + 1980, (date >> 5) & 15, date & 31, clock >> 11, (clock >> 5) & 63, (clock & 31) * 2};
}

// The fields must be in range (year 1980..2107); an odd second is rounded down.
constexpr uint32_t PackDosTime(const DosDateTime& t) {
    const uint32_t date = (t.year - 1980) << 9 | t.month << 5 | t.day;
    const uint32_t clock = t.hour << 11 | t.minute << 5 | t.second / 2;
    return date << 16 | clock;
}

}  // namespace lzh
