#include "core/export/html_text.h"

#include "core/common/utf8.h"

namespace scrivel {

namespace {

// The entity of a character that HTML must not see as it is; empty for
// every other character.
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
    const bool lineBreak = breakLines && (c == '\r' || c == '\n');
    const std::string_view entity = EntityOf(c);
    if (!lineBreak && entity.empty()) continue;
    out.append(clean.substr(plainStart, i - plainStart));
    if (lineBreak) {
      if (c == '\r' && i + 1 < clean.size() && clean[i + 1] == '\n') ++i;
      out += "<br />";
    } else {
      out += entity;
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
