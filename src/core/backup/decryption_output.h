// Reads the decryption tool's console output (decryption_tool_protocol.h):
// splits it into lines across reads, so that a "Count:" or "Wrong password"
// cut in two by the pipe is still seen whole, and says what each line means.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace scrivel {

// Lines longer than this are handed on in pieces, so a tool that never ends
// a line cannot make the reader's buffer grow without bound.
inline constexpr std::size_t kMaxToolLineSize = 4096;

class DecryptionOutputReader {
 public:
  using LineHandler = std::function<void(std::string_view line)>;

  // Appends `chunk` and hands every completed line (without its line feed) to
  // `onLine`. A carriage return before the line feed is dropped.
  void Feed(std::string_view chunk, const LineHandler& onLine);
  // Hands on the last line when the output ended without a line feed.
  void Finish(const LineHandler& onLine);

 private:
  std::string m_pending;  // start of a line whose end has not arrived yet
};

struct ToolLine {
  enum class Kind { kOther, kCount, kWrongPassword, kKey };
  Kind kind = Kind::kOther;
  std::uint64_t count = 0;  // kCount: files handled so far
  std::string_view key;     // kKey: the 64 hex digits after "Key: " (a view into the line)
};

// What one output line says. "Count:" is followed by a decimal number (blanks
// allowed before it); a number that does not fit 64 bits makes the line
// kOther.
ToolLine ClassifyToolLine(std::string_view line);

}  // namespace scrivel
