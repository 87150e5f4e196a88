// Entry times as the packing tools take them (--mtime, SOURCE_DATE_EPOCH):
// strictly, so that a typing error is refused rather than moved to another
// day.
#pragma once

#include <cstdint>
#include <string>

namespace pack {

// The range of times an LHA header holds (level 2: 32 bits of seconds
// since 1970-01-01 UTC).
constexpr int64_t kLatestTime = 0xFFFFFFFF;  // 2106-02-07T06:28:15

// Seconds since 1970: digits only, at most kLatestTime.  False with the
// reason in why.
bool ParseSeconds(const std::string& text, int64_t& seconds, std::string& why);

// SECONDS (as ParseSeconds) or YYYY-MM-DD[THH:MM[:SS]][Z], UTC, a date that
// exists and within the range above.  False with the reason in why
// ("2024-02 has 29 days, not 31").
bool ParseTime(const std::string& text, int64_t& seconds, std::string& why);

}  // namespace pack
