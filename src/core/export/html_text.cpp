#include "core/export/html_text.h"

#include <array>
#include <cstdint>

#include "core/common/readable_text.h"
#include "core/common/utf8.h"

namespace scrivel {

namespace {

// The entity of a character that HTML must not see as it is.
std::string_view EntityOf(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    default: return {};
  }
}

// What the escaping does with each byte value.
enum class ByteKind : std::uint8_t { kPlain, kEntity, kLineBreak, kUnreadable };

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

constexpr std::array<ByteKind, 256> MakeByteKinds() {
  std::array<ByteKind, 256> kinds{};
  for (int byte = 0; byte < 0x20; ++byte) {
    if (IsUnreadableControl(static_cast<unsigned char>(byte))) kinds[byte] = ByteKind::kUnreadable;
  }
  for (const char c : {'&', '<', '>', '"', '\''}) kinds[static_cast<std::uint8_t>(c)] = ByteKind::kEntity;
  kinds['\r'] = ByteKind::kLineBreak;
  kinds['\n'] = ByteKind::kLineBreak;
  return kinds;
}

constexpr std::array<ByteKind, 256> kByteKinds = MakeByteKinds();

void AppendEscaped(std::string& out, std::string_view text, bool breakLines) {
  std::string sanitized;
  std::string_view clean = text;
  if (!IsValidUtf8(text)) {
    sanitized = SanitizeUtf8(text);
    clean = sanitized;
  }
  if (out.empty()) out.reserve(clean.size() + clean.size() / 8);
  // Runs of characters that stay as they are are copied in one piece.
  std::size_t plainStart = 0;
  for (std::size_t i = 0; i < clean.size(); ++i) {
    const char c = clean[i];
    const ByteKind kind = kByteKinds[static_cast<std::uint8_t>(c)];
    if (kind == ByteKind::kPlain || (kind == ByteKind::kLineBreak && !breakLines)) continue;
    out.append(clean.substr(plainStart, i - plainStart));
    if (kind == ByteKind::kLineBreak) {
      if (c == '\r' && i + 1 < clean.size() && clean[i + 1] == '\n') ++i;
      out += "<br />";
    } else if (kind == ByteKind::kUnreadable) {
      out += kReplacementCharacter;
    } else {
      out += EntityOf(c);
    }
    plainStart = i + 1;
  }
  out.append(clean.substr(plainStart));
}

}  // namespace

void AppendEscapedHtml(std::string& out, std::string_view text) { AppendEscaped(out, text, false); }

void AppendHtmlText(std::string& out, std::string_view text) { AppendEscaped(out, text, true); }

std::string EscapeHtml(std::string_view text) {
  std::string out;
  AppendEscapedHtml(out, text);
  return out;
}

std::string HtmlText(std::string_view text) {
  std::string out;
  AppendHtmlText(out, text);
  return out;
}

}  // namespace scrivel
