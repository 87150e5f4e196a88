// Size and date lines of dialog 119: "12,345 Bytes" and the modification date
// in the user's language.
#include "ui/date_line.h"

#include <windows.h>

#include <cstring>

#include "archive/lha_format.h"
#include "res/resource.h"
#include "ui/ui.h"

namespace {

// Weekday characters in Shift-JIS, Sunday first.  The Japanese date line has
// "??" in their place.
constexpr char kWeekdays[7][4] = {
    "\x93\xFA", "\x8C\x8E", "\x89\xCE", "\x90\x85", "\x96\xD8", "\x8B\xE0", "\x93\x79",
};

// wsprintfA never writes more than 1024 characters and a terminator.
constexpr int kWsprintfBytes = 1025;

}  // namespace

int DayOfWeek(int year, int month, int day) {
    // Zeller's congruence with January and February counted as months 13
    // and 14 of the previous year.
    if (month == 1 || month == 2) {
        year -= 1;
        month += 12;
    }
    return (day + (13 * month + 8) / 5 + year + year / 4 - year / 100 + year / 400) % 7;
}

int FormatDateLineFrom(const char* format, uint32_t dosDateTime, char* output, int outputSize) {
    if (outputSize <= 0) return 0;
    output[0] = '\0';

    const lzh::DosDateTime t = lzh::UnpackDosTime(dosDateTime);
    const int day = t.day, month = t.month, year = t.year;
    const int hour = t.hour, minute = t.minute, second = t.second;

    const bool english = strstr(format, "Byte") != nullptr;
    char line[kWsprintfBytes];
    int length;
    if (english)
        length = wsprintfA(line, format, month, day, year, hour, minute, second);
    else
        length = wsprintfA(line, format, year, month, day, hour, minute, second);
    if (length <= 0 || length >= outputSize) return 0;

    if (!english) {
        // Only a "??" pair is replaced, so the two bytes never run over the
        // terminator.
        char* mark = strstr(line, "??");
        if (mark != nullptr) {
            const char* weekday = kWeekdays[DayOfWeek(year, month, day)];
            mark[0] = weekday[0];
            mark[1] = weekday[1];
        }
    }
    memcpy(output, line, length + 1);
    return length;
}

int FormatDateLine(uint32_t dosDateTime, char* output, int outputSize) {
    char format[128];
    if (LoadStringA(g_ui.resources, IDS_DATE_LINE, format, sizeof format) <= 0) {
        if (outputSize > 0) output[0] = '\0';
        return 0;
    }
    return FormatDateLineFrom(format, dosDateTime, output, outputSize);
}

void FormatThousands(uint32_t n, char* output) {
    char digits[16];
    const int count = wsprintfA(digits, "%lu", static_cast<unsigned long>(n));  // 1 to 10 digits
    const int total = count + (count - 1) / 3;

    // Fill from the right: a ',' before every third digit from the end.
    char* out = output + total;
    *out = '\0';
    for (int i = 0; i < count; ++i) {
        if (i > 0 && i % 3 == 0) *--out = ',';
        *--out = digits[count - 1 - i];
    }
}
