#include "core/backup/backup_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace scrivel {
namespace {

TEST(BackupDate, AppliesTheBias) {
  struct Case {
    const char* utc;
    long bias;
    const char* local;
  };
  const Case cases[] = {
      {"2016-05-12 02:30:00", -480, "2016-05-12 10:30:00"},
      {"2016-01-01 23:30:00", -60, "2016-01-02 00:30:00"},   // one hour east: next day
      {"2016-01-01 23:30:00", 300, "2016-01-01 18:30:00"},   // five hours west
      {"2016-03-01 00:15:00", 60, "2016-02-29 23:15:00"},    // back over a leap day
      {"2016-12-31 23:59:59", -1, "2017-01-01 00:00:59"},    // over a year end
      {"2016-05-12 02:30:00", 0, "2016-05-12 02:30:00"},
      {"2016-5-2 2:3:4", 0, "2016-05-02 02:03:04"},          // numbers read like atoi
      {"2016-05-12 02:30:00.123", 0, "2016-05-12 02:30:00"}, // digits end each number
  };
  for (const Case& c : cases) EXPECT_EQ(c.local, FormatBackupDate(c.utc, c.bias)) << c.utc << " " << c.bias;
}

TEST(BackupDate, MissingSeparatorGivesEmptyText) {
  for (const char* text : {"", "2016", "2016-05-12", "2016-05-12T02:30:00", "2016-05-12 02:30", "garbage"}) {
    EXPECT_EQ("", FormatBackupDate(text, 0)) << text;
  }
  // Absurd but complete numbers never overflow and never crash.
  EXPECT_NO_FATAL_FAILURE((void)FormatBackupDate("99999999999-99-99 99:99:99", 0));
  EXPECT_NO_FATAL_FAILURE((void)FormatBackupDate("-99999999999-1-1 0:0:0", 0));
}

// Sets TZ for the life of the object and restores it afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) m_old = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (m_old) setenv("TZ", m_old->c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> m_old;
};

TEST(BackupDate, TakesTheStandardOffsetFromTheTimeZone) {
  struct Case {
    const char* zone;
    long bias;
    const char* utc;
    const char* local;
  };
  const Case cases[] = {
      {"UTC-1", -60, "2016-01-01 23:30:00", "2016-01-02 00:30:00"},
      {"UTC+5", 300, "2016-01-01 23:30:00", "2016-01-01 18:30:00"},
      // Daylight saving is never applied: a July date in New York time still
      // shows UTC-5, not UTC-4.
      {"EST5EDT,M3.2.0,M11.1.0", 300, "2016-07-01 12:00:00", "2016-07-01 07:00:00"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", -60, "2016-07-01 12:00:00", "2016-07-01 13:00:00"},
  };
  for (const Case& c : cases) {
    ScopedTimeZone zone(c.zone);
    EXPECT_EQ(c.bias, StandardTimeBiasMinutes()) << c.zone;
    EXPECT_EQ(c.local, FormatBackupDate(c.utc)) << c.zone;
  }
}

}  // namespace
}  // namespace scrivel
