#include "core/sqlite/utf8_text.h"

#include <algorithm>
#include <cstdint>

#include "core/common/utf8.h"

namespace scrivel::sqlite {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::optional<std::string> StrictText(std::string_view bytes) {
  if (bytes.empty() || !IsValidUtf8(bytes)) return std::nullopt;
  if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
  if (bytes.find(kReplacementCharacter) != std::string_view::npos) return std::nullopt;
  return std::string(bytes);
}

std::string PlainText(std::string_view bytes) { return SanitizeUtf8(bytes); }

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<std::uint8_t>(c) < 0x20; });
}

}  // namespace scrivel::sqlite
