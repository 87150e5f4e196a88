#include "time_text.h"

namespace pack {
namespace {

constexpr char kEarliest[] = "before 1970-01-01, the earliest time an LHA header holds";
constexpr char kLatest[] = "after 2106-02-07T06:28:15 (4294967295), the latest time an LHA header holds";
constexpr char kForms[] = "not a time: give seconds since 1970 or YYYY-MM-DD[THH:MM[:SS]] (UTC)";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(const std::string& text, size_t from) {
    if (from >= text.size()) return false;
    for (size_t i = from; i < text.size(); i++)
        if (!IsDigit(text[i])) return false;
    return true;
}

// Reads a fixed-width date or time from left to right.
class Cursor {
public:
    explicit Cursor(const std::string& text) : text_(text) {}

    // Exactly `count` digits.
    bool Digits(size_t count, unsigned& value) {
        if (at_ + count > text_.size()) return false;
        value = 0;
        for (size_t i = 0; i < count; i++) {
            if (!IsDigit(text_[at_ + i])) return false;
            value = value * 10 + static_cast<unsigned>(text_[at_ + i] - '0');
        }
        at_ += count;
        return true;
    }
    bool Take(char c) {
        if (at_ >= text_.size() || text_[at_] != c) return false;
        at_++;
        return true;
    }
    bool AtEnd() const { return at_ == text_.size(); }
    std::string Rest() const { return text_.substr(at_); }

private:
    const std::string& text_;
    size_t at_ = 0;
};

bool IsLeapYear(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned y, unsigned m) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

std::string TwoDigits(unsigned value) {
    std::string text = std::to_string(value);
    if (text.size() < 2) text.insert(text.begin(), '0');
    return text;
}

bool Fail(std::string& why, const std::string& reason) {
    why = reason;
    return false;
}

}  // namespace

bool ParseSeconds(const std::string& text, int64_t& seconds, std::string& why) {
    if (text.size() > 1 && text[0] == '-' && AllDigits(text, 1)) return Fail(why, kEarliest);
    if (!AllDigits(text, 0)) return Fail(why, "not a number of seconds since 1970");
    int64_t value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
        if (value > kLatestTime) return Fail(why, kLatest);
    }
    seconds = value;
    return true;
}

bool ParseTime(const std::string& text, int64_t& seconds, std::string& why) {
    if (AllDigits(text, 0) || (text.size() > 1 && text[0] == '-' && AllDigits(text, 1)))
        return ParseSeconds(text, seconds, why);
    Cursor c(text);
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!c.Digits(4, y) || !c.Take('-') || !c.Digits(2, mo) || !c.Take('-') || !c.Digits(2, d))
        return Fail(why, kForms);
    if (c.Take('T')) {
        if (!c.Digits(2, h) || !c.Take(':') || !c.Digits(2, mi)) return Fail(why, kForms);
        if (c.Take(':') && !c.Digits(2, s)) return Fail(why, kForms);
        c.Take('Z');
    }
    if (!c.AtEnd()) return Fail(why, "unexpected text after the time: '" + c.Rest() + "'");
    if (mo < 1 || mo > 12) return Fail(why, "there is no month " + TwoDigits(mo));
    if (d < 1 || d > DaysInMonth(y, mo))
        return Fail(why, std::to_string(y) + "-" + TwoDigits(mo) + " has " + std::to_string(DaysInMonth(y, mo)) +
                             " days, not " + std::to_string(d));
    if (h > 23) return Fail(why, "there is no hour " + TwoDigits(h) + " (00 to 23)");
    if (mi > 59) return Fail(why, "there is no minute " + TwoDigits(mi) + " (00 to 59)");
    if (s > 59) return Fail(why, "there is no second " + TwoDigits(s) + " (00 to 59)");
    const int64_t value = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    if (value < 0) return Fail(why, kEarliest);
    if (value > kLatestTime) return Fail(why, kLatest);
    seconds = value;
    return true;
}

}  // namespace pack
