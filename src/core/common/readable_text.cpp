#include "core/common/readable_text.h"

#include <algorithm>

#include "core/common/utf8.h"

namespace scrivel {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

bool HasUnreadableControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return IsUnreadableControl(static_cast<unsigned char>(c)); });
}

}  // namespace

bool IsReadableText(std::string_view text) { return !HasUnreadableControl(text) && IsValidUtf8(text); }

std::string ReadableText(std::string_view text) {
  if (IsReadableText(text)) return std::string(text);
  // Control bytes are single-byte characters, so they can be replaced
  // after the ill-formed sequences without changing how the rest decodes.
  const std::string wellFormed = IsValidUtf8(text) ? std::string(text) : SanitizeUtf8(text);
  std::string out;
  out.reserve(wellFormed.size() + 8);
  for (const char c : wellFormed) {
    if (IsUnreadableControl(static_cast<unsigned char>(c))) {
      out += kReplacementCharacter;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace scrivel
