// Human-readable sizes and durations, as the lists, the statistics label and
// the exports show them.
#pragma once

#include <cstdint>
#include <string>

namespace scrivel {

// "%d Bytes" below 1,024 bytes (negative values too), then "%.2f KB", "MB",
// "GB" or "TB" with powers of two as thresholds: 1,572,864 -> "1.50 MB".
std::string FormatFileSize(std::int64_t bytes);

// "%d Sec" below a minute (negative values too), "%d Min %d Sec" below an
// hour, else "%d Hour %d Min" (seconds dropped): 3725 -> "1 Hour 2 Min".
std::string FormatDuration(std::int64_t seconds);

}  // namespace scrivel
