#include "core/common/format.h"

#include <array>
#include <cinttypes>
#include <cstdio>

namespace scrivel {
namespace {

struct SizeUnit {
  std::int64_t bytes;  // the threshold and divisor, a power of two
  const char* suffix;
};

constexpr std::array<SizeUnit, 4> kSizeUnits = {{
    {std::int64_t{1} << 40, " TB"},
    {std::int64_t{1} << 30, " GB"},
    {std::int64_t{1} << 20, " MB"},
    {std::int64_t{1} << 10, " KB"},
}};

}  // namespace

std::string FormatFileSize(std::int64_t bytes) {
  char text[64];
  for (const SizeUnit& unit : kSizeUnits) {
    if (bytes >= unit.bytes) {
      std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(bytes) / static_cast<double>(unit.bytes),
                    unit.suffix);
      return text;
    }
  }
  std::snprintf(text, sizeof text, "%" PRId64 " Bytes", bytes);
  return text;
}

std::string FormatDuration(std::int64_t seconds) {
  char text[64];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%" PRId64 " Hour %" PRId64 " Min", seconds / 3600, seconds % 3600 / 60);
  } else if (seconds >= 60) {
    std::snprintf(text, sizeof text, "%" PRId64 " Min %" PRId64 " Sec", seconds / 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%" PRId64 " Sec", seconds);
  }
  return text;
}

}  // namespace scrivel
