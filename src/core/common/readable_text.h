// Recovered text made fit for the files a person opens: pages, text files
// and spreadsheets. Text rebuilt from free space can hold NULs, other
// control bytes and broken UTF-8; written as they are they make ordinary
// tools treat the file as binary.
#pragma once

#include <string>
#include <string_view>

namespace scrivel {

// True iff `text` is well-formed UTF-8 without control characters below
// U+0020 other than tab, line feed and carriage return.
bool IsReadableText(std::string_view text);

// `text` with every ill-formed UTF-8 sequence and every control character
// below U+0020 other than tab, line feed and carriage return (the line ends
// of recovered notes and messages) replaced by U+FFFD.
std::string ReadableText(std::string_view text);

// True for the control bytes that ReadableText replaces.
constexpr bool IsUnreadableControl(unsigned char byte) {
  return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
}

}  // namespace scrivel
