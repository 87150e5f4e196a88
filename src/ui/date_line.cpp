// Size and date lines of dialog 119: "12,345 Bytes" and the modification date
// in the user's language.
#include "ui/date_line.h"

#include <windows.h>

#include <cwchar>

#include "archive/lha_format.h"
#include "paths/text.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

// The weekday characters, Sunday first (日月火水木金土).  The Japanese date
// line has "??" in their place.
constexpr wchar_t kWeekdays[] = L"\x65E5\x6708\x706B\x6C34\x6728\x91D1\x571F";

// Units of the line before its size is put in: the format (at most 127
// units, the load's buffer) and six numbers of at most five digits.
constexpr int kLineUnits = 128 + 6 * 5;

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

int FormatDateLineFrom(const wchar_t* format, uint32_t dosDateTime, wchar_t* output, int outputSize) {
    if (outputSize <= 0) return 0;
    output[0] = L'\0';
    if (std::wcslen(format) >= 128) return 0;

    const lzh::DosDateTime t = lzh::UnpackDosTime(dosDateTime);
    const int day = t.day, month = t.month, year = t.year;
    const int hour = t.hour, minute = t.minute, second = t.second;

    const bool english = std::wcsstr(format, L"Byte") != nullptr;
    wchar_t line[kLineUnits];
    if (english)
        FormatText(line, format, month, day, year, hour, minute, second);
    else
        FormatText(line, format, year, month, day, hour, minute, second);

    // The weekday takes the place of the first "??".
    if (!english) {
        if (wchar_t* mark = std::wcsstr(line, L"??")) {
            mark[0] = kWeekdays[DayOfWeek(year, month, day)];
            std::wmemmove(mark + 1, mark + 2, std::wcslen(mark + 2) + 1);
        }
    }
    const int length = static_cast<int>(std::wcslen(line));
    if (length >= outputSize) return 0;
    std::wmemcpy(output, line, length + 1);
    return length;
}

int FormatDateLine(uint32_t dosDateTime, wchar_t* output, int outputSize) {
    wchar_t format[128];
    LoadText(IDS_DATE_LINE, format, 128);
    return FormatDateLineFrom(format, dosDateTime, output, outputSize);
}

void FormatThousands(uint32_t n, wchar_t* output) {
    wchar_t digits[16];
    const int count = FormatText(digits, L"%lu", static_cast<unsigned long>(n));  // 1 to 10 digits
    const int total = count + (count - 1) / 3;

    // Fill from the right: a ',' before every third digit from the end.
    wchar_t* out = output + total;
    *out = L'\0';
    for (int i = 0; i < count; ++i) {
        if (i > 0 && i % 3 == 0) *--out = L',';
        *--out = digits[count - 1 - i];
    }
}
