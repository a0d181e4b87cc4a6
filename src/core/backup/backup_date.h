// Turns the "Last Backup Date" of Info.plist (UTC) into the local time text
// shown in the backup list. The time zone's standard offset is applied and
// daylight saving never is, so a date shows the same all year round.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace scrivel {

// The local time zone's standard offset as a bias: minutes to add to local
// standard time to get UTC (west of UTC positive, e.g. +300 for UTC-5).
// Taken from the C library after tzset(), so it follows TZ.
long StandardTimeBiasMinutes();

// Converts "year-month-day hour:minute:second" (UTC) to local standard time,
// formatted "%Y-%m-%d %H:%M:%S". Each number is read like atoi after its
// separator ("-", "-", " ", ":", ":"); returns "" when a separator is missing
// or the time cannot be represented.
// Example: "2016-01-01 23:30:00" with bias -60 gives "2016-01-02 00:30:00".
std::string FormatBackupDate(std::string_view utcText, long biasMinutes);
std::string FormatBackupDate(std::string_view utcText);  // with StandardTimeBiasMinutes()

// Formats seconds since 1970 (UTC) as local standard time, as above.
std::string FormatBackupTime(std::int64_t unixSeconds, long biasMinutes);

}  // namespace scrivel
