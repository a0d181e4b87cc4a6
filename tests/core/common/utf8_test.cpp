#include "core/common/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

// A straightforward decoder to check the fast paths against: it builds each
// code point and tests its value (overlong, surrogate, above U+10FFFF).
// Returns the sequence length at text[index], 0 when ill-formed; adds the
// code point's UTF-16 units to *units.
std::size_t ReferenceSequence(std::string_view text, std::size_t index, std::size_t* units) {
  const auto lead = static_cast<std::uint8_t>(text[index]);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t smallest = 0;
  if (lead < 0x80) length = 1, value = lead;
  else if ((lead & 0xE0) == 0xC0) length = 2, value = lead & 0x1F, smallest = 0x80;
  else if ((lead & 0xF0) == 0xE0) length = 3, value = lead & 0x0F, smallest = 0x800;
  else if ((lead & 0xF8) == 0xF0) length = 4, value = lead & 0x07, smallest = 0x10000;
  else return 0;
  if (text.size() - index < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[index + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *units += value < 0x10000 ? 1 : 2;
  return length;
}

struct ReferenceResult {
  bool valid = true;
  std::size_t utf16Units = 0;
  std::string sanitized;
};

ReferenceResult Reference(std::string_view text) {
  ReferenceResult result;
  for (std::size_t index = 0; index < text.size();) {
    const std::size_t length = ReferenceSequence(text, index, &result.utf16Units);
    if (length == 0) {
      result.valid = false;
      result.sanitized += "\xEF\xBF\xBD";
      ++index;
    } else {
      result.sanitized.append(text.substr(index, length));
      index += length;
    }
  }
  if (!result.valid) result.utf16Units = 0;
  return result;
}

// Every lead byte followed by continuation bytes drawn from the values at
// and around each boundary of the well-formed table, alone, cut short,
// and between runs of ASCII long enough for the eight-byte fast path.
TEST(Utf8Test, AgreesWithAReferenceDecoderOnEveryBoundarySequence) {
  const std::uint8_t edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xF4, 0xFF};
  std::vector<std::string> sequences;
  for (int lead = 0; lead < 0x100; ++lead) {
    sequences.push_back(std::string(1, static_cast<char>(lead)));
    for (const std::uint8_t second : edges) {
      std::string two{static_cast<char>(lead), static_cast<char>(second)};
      sequences.push_back(two);
      for (const std::uint8_t third : edges) {
        const std::string three = two + static_cast<char>(third);
        sequences.push_back(three);
        if (lead < 0xF0) continue;  // only four-byte leads need a fourth byte
        for (const std::uint8_t fourth : {0x41, 0x80, 0xBF, 0xC0}) sequences.push_back(three + static_cast<char>(fourth));
      }
    }
  }
  for (const std::string& sequence : sequences) {
    for (const std::string& text : {sequence, "abcdefgh" + sequence + "ijklmnopq", sequence + "\xC3\xA9" + sequence}) {
      const ReferenceResult expected = Reference(text);
      ASSERT_EQ(IsValidUtf8(text), expected.valid) << testing::PrintToString(text);
      ASSERT_EQ(Utf16Length(text), expected.utf16Units) << testing::PrintToString(text);
      ASSERT_EQ(SanitizeUtf8(text), expected.sanitized) << testing::PrintToString(text);
      ASSERT_EQ(Utf8ToUtf16(text).size(), expected.utf16Units) << testing::PrintToString(text);
    }
  }
}

}  // namespace
}  // namespace scrivel
