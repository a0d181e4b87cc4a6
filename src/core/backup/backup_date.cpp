#include "core/backup/backup_date.h"

#include <cerrno>
#include <ctime>

namespace scrivel {
namespace {

// Reads a decimal number the way atoi does (leading blanks, an optional
// sign, digits up to the first non-digit; no digits gives 0), but clamps
// the magnitude so that no later arithmetic on the fields can overflow.
constexpr long long kMaxFieldMagnitude = 1'000'000'000;

int ParseLeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kMaxFieldMagnitude) value = kMaxFieldMagnitude;
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

long StandardTimeBiasMinutes() {
  tzset();
  // `timezone`: seconds west of UTC of the zone's standard time.
  return static_cast<long>(timezone / 60);
}

std::string FormatBackupTime(std::int64_t unixSeconds, long biasMinutes) {
  const std::int64_t localSeconds = unixSeconds - static_cast<std::int64_t>(biasMinutes) * 60;
  const auto asTimeT = static_cast<std::time_t>(localSeconds);
  std::tm brokenDown{};
  if (gmtime_r(&asTimeT, &brokenDown) == nullptr) return {};
  char text[128];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &brokenDown);
  return std::string(text, length);
}

std::string FormatBackupDate(std::string_view utcText, long biasMinutes) {
  static constexpr char kSeparators[] = {'-', '-', ' ', ':', ':'};
  int fields[6] = {};
  fields[0] = ParseLeadingInt(utcText);
  std::size_t searchFrom = 0;
  for (std::size_t i = 0; i < sizeof kSeparators; ++i) {
    const std::size_t separator = utcText.find(kSeparators[i], searchFrom);
    if (separator == std::string_view::npos) return {};
    searchFrom = separator + 1;
    fields[i + 1] = ParseLeadingInt(utcText.substr(searchFrom));
  }
  std::tm brokenDown{};
  brokenDown.tm_year = fields[0] - 1900;
  brokenDown.tm_mon = fields[1] - 1;
  brokenDown.tm_mday = fields[2];
  brokenDown.tm_hour = fields[3];
  brokenDown.tm_min = fields[4];
  brokenDown.tm_sec = fields[5];
  errno = 0;
  const std::time_t utcSeconds = timegm(&brokenDown);
  // -1 is also the valid time 1969-12-31 23:59:59; only errno tells them apart.
  if (utcSeconds == static_cast<std::time_t>(-1) && errno != 0) return {};
  return FormatBackupTime(static_cast<std::int64_t>(utcSeconds), biasMinutes);
}

std::string FormatBackupDate(std::string_view utcText) {
  return FormatBackupDate(utcText, StandardTimeBiasMinutes());
}

}  // namespace scrivel
