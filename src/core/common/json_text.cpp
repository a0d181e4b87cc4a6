#include "core/common/json_text.h"

#include <cstdio>

#include "core/common/utf8.h"

namespace scrivel {

std::string JsonString(std::string_view text) {
  const std::string clean = IsValidUtf8(text) ? std::string(text) : SanitizeUtf8(text);
  std::string out = "\"";
  for (const char c : clean) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += "\"";
  return out;
}

}  // namespace scrivel
