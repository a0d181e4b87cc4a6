#include "core/export/html_text.h"

#include "core/common/utf8.h"

namespace scrivel {

namespace {

void AppendEscaped(char c, std::string& out) {
  switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    case '\'': out += "&#39;"; break;
    default: out += c; break;
  }
}

std::string Escape(std::string_view text, bool breakLines) {
  const std::string clean = IsValidUtf8(text) ? std::string(text) : SanitizeUtf8(text);
  std::string out;
  out.reserve(clean.size() + clean.size() / 8);
  for (std::size_t i = 0; i < clean.size(); ++i) {
    const char c = clean[i];
    if (breakLines && (c == '\r' || c == '\n')) {
      if (c == '\r' && i + 1 < clean.size() && clean[i + 1] == '\n') ++i;
      out += "<br />";
      continue;
    }
    AppendEscaped(c, out);
  }
  return out;
}

}  // namespace

std::string EscapeHtml(std::string_view text) { return Escape(text, false); }

std::string HtmlText(std::string_view text) { return Escape(text, true); }

}  // namespace scrivel
