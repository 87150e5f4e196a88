// The size-and-date lines of the overwrite confirmation, apart from the
// string table, so that both language forms can be tested anywhere.
#pragma once

#include <cstdint>

// Formats an MS-DOS date/time (date in the high 16 bits) with format, a date
// line of the string table's entry 9 form: English with "Byte" in it and the
// order month, day, year; otherwise Japanese with the order year, month,
// day and "??" where the weekday goes.  The result keeps one "%s" for the
// size text.  Returns its length, 0 when it does not fit outputSize units
// or the format is longer than the string table's 127 units.
int FormatDateLineFrom(const wchar_t* format, uint32_t dosDateTime, wchar_t* output, int outputSize);

// Day of the week, 0 = Sunday, of a Gregorian date (month 1..12).
int DayOfWeek(int year, int month, int day);
