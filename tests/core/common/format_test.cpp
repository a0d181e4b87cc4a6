#include "core/common/format.h"

#include <gtest/gtest.h>

namespace scrivel {
namespace {

TEST(FormatTest, FileSizeUsesPowerOfTwoThresholds) {
  const struct {
    std::int64_t bytes;
    const char* expected;
  } cases[] = {
      {0, "0 Bytes"},
      {-5, "-5 Bytes"},
      {1023, "1023 Bytes"},
      {1024, "1.00 KB"},
      {1536, "1.50 KB"},
      {1048575, "1024.00 KB"},
      {1572864, "1.50 MB"},
      {std::int64_t{1} << 30, "1.00 GB"},
      {(std::int64_t{1} << 40) - 1, "1024.00 GB"},
      {std::int64_t{1} << 40, "1.00 TB"},
      {std::int64_t{5} << 40, "5.00 TB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatFileSize(c.bytes), c.expected) << c.bytes;
}

TEST(FormatTest, DurationDropsSecondsFromAnHourOn) {
  const struct {
    std::int64_t seconds;
    const char* expected;
  } cases[] = {
      {-3, "-3 Sec"},   {0, "0 Sec"},          {59, "59 Sec"},           {60, "1 Min 0 Sec"},
      {3599, "59 Min 59 Sec"}, {3600, "1 Hour 0 Min"}, {3725, "1 Hour 2 Min"}, {90061, "25 Hour 1 Min"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDuration(c.seconds), c.expected) << c.seconds;
}

}  // namespace
}  // namespace scrivel
