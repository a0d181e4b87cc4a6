#include "core/common/utf8.h"

#include <gtest/gtest.h>

namespace scrivel {
namespace {

TEST(Utf8Test, ValidationRejectsEveryKindOfMalformedSequence) {
  const struct {
    std::string_view bytes;
    bool valid;
    const char* what;
  } cases[] = {
      {"", true, "empty"},
      {"plain ascii", true, "ascii"},
      {"Gr\xC3\xBC\xC3\x9F" "e", true, "two-byte"},
      {"\xE4\xBD\xA0\xE5\xA5\xBD", true, "CJK"},
      {"\xF0\x9F\x98\x80", true, "emoji"},
      {"\xF4\x8F\xBF\xBF", true, "U+10FFFF"},
      {"\x80", false, "lone continuation byte"},
      {"\xC3", false, "truncated two-byte"},
      {"\xE4\xBD", false, "truncated three-byte"},
      {"\xF0\x9F\x98", false, "truncated four-byte"},
      {"\xC0\xAF", false, "overlong slash"},
      {"\xE0\x80\xAF", false, "overlong three-byte"},
      {"\xED\xA0\x80", false, "surrogate D800"},
      {"\xF4\x90\x80\x80", false, "above U+10FFFF"},
      {"\xFF", false, "FF byte"},
      {"ab\xC3(", false, "continuation replaced by ascii"},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.what;
}

TEST(Utf8Test, Utf16RoundTripCountsSurrogatePairsAsTwoUnits) {
  const std::string text = "A\xC3\xA9\xE4\xBD\xA0\xF0\x9F\x98\x80";  // A, e-acute, CJK, emoji
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'A', u'\u00E9', u'\u4F60', 0xD83D, 0xDE00}));
  EXPECT_EQ(Utf16Length(text), 5u);
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf8Test, UnconvertibleInputGivesEmptyText) {
  EXPECT_EQ(Utf8ToUtf16("ok\xC3"), u"");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800}), "");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00, u'a'}), "");
  EXPECT_EQ(Utf16Length("\xFF"), 0u);
}

TEST(Utf8Test, SanitizeReplacesOnlyTheBadBytes) {
  EXPECT_EQ(SanitizeUtf8("a\xFF" "b\xC3\xA9"), "a\xEF\xBF\xBD" "b\xC3\xA9");
  EXPECT_EQ(SanitizeUtf8("\xE4\xBD"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace scrivel
