#include "core/apps/local_date.h"

#include <ctime>

namespace scrivel::apps {

std::string FormatLocalDate(std::int64_t unixSeconds) {
  // Years beyond four digits do not fit the text; refuse them early.
  constexpr std::int64_t kLimit = 253402300799;  // 9999-12-31 23:59:59 UTC
  if (unixSeconds < -kLimit || unixSeconds > kLimit) return "";
  const std::time_t time = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr || local.tm_year + 1900 < 0) return "";
  // "%04d-%02d-%02d %02d:%02d:%02d", written by hand: this runs once per
  // record and a formatted print costs more than the rest of the record.
  std::string text = "0000-00-00 00:00:00";
  const auto put = [&](std::size_t at, int value, int digits) {
    for (int i = digits - 1; i >= 0; --i, value /= 10) text[at + i] = static_cast<char>('0' + value % 10);
  };
  put(0, local.tm_year + 1900, 4);
  put(5, local.tm_mon + 1, 2);
  put(8, local.tm_mday, 2);
  put(11, local.tm_hour, 2);
  put(14, local.tm_min, 2);
  put(17, local.tm_sec, 2);
  return text;
}

}  // namespace scrivel::apps
