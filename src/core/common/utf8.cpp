#include "core/common/utf8.h"

#include <cstdint>

namespace scrivel {
namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Decodes one code point at text[index]. On success stores it, advances index
// past the sequence and returns true; on an ill-formed sequence returns false
// and leaves index unchanged.
bool decodeCodePoint(std::string_view text, std::size_t& index, char32_t& codePoint) {
  const auto lead = static_cast<std::uint8_t>(text[index]);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t smallest = 0;  // the lowest value this length may encode (rejects overlong forms)
  if (lead < 0x80) {
    codePoint = lead;
    ++index;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return false;  // a continuation byte or 0xF8..0xFF cannot start a sequence
  }
  if (text.size() - index < length) return false;  // truncated sequence
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[index + i]);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < smallest || value > kMaxCodePoint) return false;
  if (value >= kSurrogateFirst && value <= kSurrogateLast) return false;
  codePoint = value;
  index += length;
  return true;
}

}  // namespace

void AppendUtf8(char32_t codePoint, std::string& out) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

bool IsValidUtf8(std::string_view text) {
  std::size_t index = 0;
  char32_t codePoint = 0;
  while (index < text.size()) {
    if (!decodeCodePoint(text, index, codePoint)) return false;
  }
  return true;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t index = 0;
  char32_t codePoint = 0;
  while (index < text.size()) {
    if (!decodeCodePoint(text, index, codePoint)) return {};
    if (codePoint < 0x10000) {
      out += static_cast<char16_t>(codePoint);
    } else {
      const char32_t offset = codePoint - 0x10000;
      out += static_cast<char16_t>(0xD800 + (offset >> 10));
      out += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return {};
      const char32_t high = unit - 0xD800;
      const char32_t low = text[i + 1] - 0xDC00;
      AppendUtf8(0x10000 + (high << 10) + low, out);
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return {};  // a low surrogate without its high half
    } else {
      AppendUtf8(unit, out);
    }
  }
  return out;
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  std::size_t index = 0;
  char32_t codePoint = 0;
  while (index < text.size()) {
    if (!decodeCodePoint(text, index, codePoint)) return 0;
    units += codePoint < 0x10000 ? 1 : 2;
  }
  return units;
}

std::string SanitizeUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t index = 0;
  char32_t codePoint = 0;
  while (index < text.size()) {
    const std::size_t start = index;
    if (decodeCodePoint(text, index, codePoint)) {
      out.append(text.substr(start, index - start));
    } else {
      out += kReplacementCharacter;
      ++index;
    }
  }
  return out;
}

}  // namespace scrivel
