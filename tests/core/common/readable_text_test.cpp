#include "core/common/readable_text.h"

#include <gtest/gtest.h>

#include <string>

namespace scrivel {
namespace {

using namespace std::string_view_literals;

TEST(ReadableTextTest, ReplacesControlBytesAndBrokenUtf8ButKeepsTabsAndLineEnds) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"", ""},
      {"plain\ttext\r\nnext\nline\rend", "plain\ttext\r\nnext\nline\rend"},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
      {"a\0b"sv, "a\xEF\xBF\xBD" "b"},
      {"\x1B[31mred\x07", "\xEF\xBF\xBD[31mred\xEF\xBF\xBD"},
      {"\x01\x1F\x0B\x0C", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"bad \xC3 byte", "bad \xEF\xBF\xBD byte"},
      {"\xC3\x00"sv, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      // DEL and C1 characters are printable enough for text tools.
      {"\x7F \xC2\x85", "\x7F \xC2\x85"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadableText(c.in), c.out) << ::testing::PrintToString(std::string(c.in));
    EXPECT_EQ(IsReadableText(c.in), c.in == c.out) << ::testing::PrintToString(std::string(c.in));
  }
}

}  // namespace
}  // namespace scrivel
