// Dates of records as local-time texts "YYYY-MM-DD hh:mm:ss", in the
// machine's time zone (TZ).
#pragma once

#include <cstdint>
#include <string>

namespace scrivel::apps {

// Seconds from 1970-01-01 00:00:00 UTC to 2001-01-01 00:00:00 UTC, the
// reference date of Apple's date columns.
inline constexpr std::int64_t kAppleEpochInUnixSeconds = 978307200;

// `unixSeconds` as local time "%04d-%02d-%02d %02d:%02d:%02d"; empty when
// the time cannot be represented.
std::string FormatLocalDate(std::int64_t unixSeconds);

}  // namespace scrivel::apps
