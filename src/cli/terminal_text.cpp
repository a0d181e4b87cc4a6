#include "cli/terminal_text.h"

#include <cstdio>

#include "core/common/utf8.h"

namespace scrivel::cli {

namespace {

// Length of the UTF-8 sequence that `lead` starts, or 0 when it cannot start one.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
  char escape[8];
  std::snprintf(escape, sizeof escape, format, value);
  out += escape;
}

}  // namespace

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = SequenceLength(byte);
    if (length == 1) {
      switch (byte) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default:
          if (byte < 0x20 || byte == 0x7F) AppendEscape(out, "\\x%02x", byte);
          else out += text[i];
      }
      ++i;
      continue;
    }
    const std::string_view sequence = text.substr(i, length);
    if (length == 0 || sequence.size() < length || !IsValidUtf8(sequence)) {
      AppendEscape(out, "\\x%02x", byte);
      ++i;
      continue;
    }
    // U+0080 to U+009F are encoded as C2 80 to C2 9F.
    const auto second = static_cast<unsigned char>(sequence[1]);
    if (byte == 0xC2 && second <= 0x9F) AppendEscape(out, "\\u%04x", second);
    else out += sequence;
    i += length;
  }
  return out;
}

}  // namespace scrivel::cli
