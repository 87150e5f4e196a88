// The size-and-date lines of the overwrite confirmation in both languages.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "archive/lha_format.h"
#include "res/resource.h"
#include "resource_text.h"
#include "ui/date_line.h"
#include "ui/ui.h"
#include "window_driver.h"

namespace {

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    return lzh::PackDosTime({static_cast<unsigned>(year), static_cast<unsigned>(month),
                             static_cast<unsigned>(day), static_cast<unsigned>(hour),
                             static_cast<unsigned>(minute), static_cast<unsigned>(second)});
}

// The system's own calendar, for comparison.
int SystemDayOfWeek(int year, int month, int day) {
    SYSTEMTIME in = {};
    in.wYear = static_cast<WORD>(year);
    in.wMonth = static_cast<WORD>(month);
    in.wDay = static_cast<WORD>(day);
    FILETIME fileTime;
    SYSTEMTIME out;
    if (!SystemTimeToFileTime(&in, &fileTime) || !FileTimeToSystemTime(&fileTime, &out)) return -1;
    return out.wDayOfWeek;
}

// Commas inserted into the decimal text, the obvious way.
std::string Grouped(uint32_t n) {
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
    return digits;
}

std::wstring English() { return ResourceString(IDS_DATE_LINE, kEnglish); }

std::wstring Japanese() { return ResourceString(IDS_DATE_LINE, kJapanese); }

std::wstring Format(const std::wstring& format, uint32_t value) {
    wchar_t line[256];
    const int length = FormatDateLineFrom(format.c_str(), value, line, 256);
    EXPECT_EQ(length, static_cast<int>(wcslen(line)));
    return line;
}

}  // namespace

TEST(FormatThousands, GroupsEveryThreeDigitsFromTheRight) {
    const uint32_t samples[] = {0,     1,      12,     123,    999,     1000,    1234,       12345,
                                99999, 100000, 123456, 999999, 1000000, 1234567, 1000000000, 4294967295u};
    wchar_t text[kThousandsSize];
    for (uint32_t n : samples) {
        FormatThousands(n, text);
        EXPECT_EQ(ToCodePage(text, CP_ACP), Grouped(n)) << n;
    }
    uint32_t n = 2463534242u;  // xorshift sweep over the whole range
    for (int i = 0; i < 2000; ++i) {
        n ^= n << 13;
        n ^= n >> 17;
        n ^= n << 5;
        FormatThousands(n, text);
        ASSERT_EQ(ToCodePage(text, CP_ACP), Grouped(n)) << n;
    }
}

TEST(DayOfWeek, AgreesWithTheSystemCalendarOverTheWholeDosRange) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int year = 1980; year <= 2107; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= days[month - 1]; ++day) {
                const int expected = SystemDayOfWeek(year, month, day);
                if (expected < 0) continue;  // 29 February of a common year
                ASSERT_EQ(DayOfWeek(year, month, day), expected) << year << "-" << month << "-" << day;
            }
        }
    }
}

TEST(FormatDateLine, EnglishGivesMonthDayYearAndKeepsTheSizeSlot) {
    const std::wstring line = Format(English(), DosDateTime(2024, 1, 2, 10, 20, 30));
    wchar_t finished[256];
    wchar_t size[kThousandsSize];
    FormatThousands(1234567, size);
    wsprintfW(finished, line.c_str(), size);
    EXPECT_STREQ(finished, L"1,234,567 Bytes\nModified: 01, 02, 2024,  10:20:30");
}

TEST(FormatDateLine, EnglishCoversTheEndsOfTheDosRange) {
    EXPECT_EQ(Format(English(), DosDateTime(1980, 1, 1, 0, 0, 0)),
              L"%s Bytes\nModified: 01, 01, 1980,  00:00:00");
    EXPECT_EQ(Format(English(), DosDateTime(2107, 12, 31, 23, 59, 58)),
              L"%s Bytes\nModified: 12, 31, 2107,  23:59:58");
}

TEST(FormatDateLine, JapaneseGivesYearMonthDayAndTheWeekday) {
    struct Case {
        int year, month, day;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {2024, 1, 2, L"%s バイト\n2024年01月02日 火曜日、10:20:30"},
        {2000, 2, 29, L"%s バイト\n2000年02月29日 火曜日、10:20:30"},
        {2024, 3, 1, L"%s バイト\n2024年03月01日 金曜日、10:20:30"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Format(Japanese(), DosDateTime(c.year, c.month, c.day, 10, 20, 30)), c.expected)
            << c.year << "-" << c.month << "-" << c.day;
    }
}

TEST(FormatDateLine, JapaneseWeekdayFollowsTheCalendarThroughAWeek) {
    static const wchar_t weekdays[] = L"日月火水木金土";
    for (int day = 1; day <= 14; ++day) {
        const int weekday = SystemDayOfWeek(2023, 12, day);
        wchar_t expected[64];
        swprintf(expected, 64, L"%%s バイト\n2023年12月%02d日 %lc曜日、00:00:00", day, weekdays[weekday]);
        EXPECT_EQ(Format(Japanese(), DosDateTime(2023, 12, day, 0, 0, 0)), expected);
    }
}

TEST(FormatDateLine, RawValuesOutsideTheCalendarStillFormatSafely) {
    // A level-2 time stamp that could not be converted arrives raw: month 15,
    // day 31, hour 31, minute 63.
    const std::wstring english = Format(English(), 0xFFFFFFFFu);
    EXPECT_EQ(english, L"%s Bytes\nModified: 15, 31, 2107,  31:63:62");
    const std::wstring japanese = Format(Japanese(), 0xFFFFFFFFu);
    EXPECT_EQ(japanese.find(L'?'), std::wstring::npos);
    EXPECT_EQ(japanese.size(), Format(Japanese(), DosDateTime(2024, 1, 2, 10, 20, 30)).size());
}

TEST(FormatDateLine, TooSmallOutputGivesZeroAndAnEmptyText) {
    const std::wstring format = English();
    const int needed = static_cast<int>(Format(format, DosDateTime(2024, 1, 2, 0, 0, 0)).size());
    wchar_t small[64];
    wmemset(small, L'x', 64);
    EXPECT_EQ(FormatDateLineFrom(format.c_str(), DosDateTime(2024, 1, 2, 0, 0, 0), small, needed), 0);
    EXPECT_EQ(small[0], L'\0');
    EXPECT_EQ(small[1], L'x');  // nothing else written
    EXPECT_EQ(FormatDateLineFrom(format.c_str(), DosDateTime(2024, 1, 2, 0, 0, 0), small, needed + 1),
              needed);
}

TEST(FormatDateLine, ALoneQuestionMarkAtTheEndIsNotReplaced) {
    // Only a "??" pair takes the weekday.
    wchar_t line[32];
    ASSERT_EQ(FormatDateLineFrom(L"%04d?", DosDateTime(2024, 1, 2, 0, 0, 0), line, 32), 5);
    EXPECT_STREQ(line, L"2024?");
    // A format longer than the string table's entries is refused.
    EXPECT_EQ(FormatDateLineFrom(std::wstring(128, L'x').c_str(), 0, line, 32), 0);
}

TEST(FormatDateLine, LoadsTheFormatOfTheUserInterfaceLanguage) {
    const uint32_t value = DosDateTime(2024, 1, 2, 10, 20, 30);
    wchar_t line[256];
    ASSERT_GT(FormatDateLine(value, line, 256), 0);
    if (JapaneseUi())
        EXPECT_EQ(line, Format(Japanese(), value));
    else if (!JapaneseUi())
        EXPECT_EQ(line, Format(English(), value));
}
