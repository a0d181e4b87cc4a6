// UTF-8 helpers. Core strings are UTF-8 byte strings; where a length "in
// characters" is wanted (as the records and the user interface count it),
// it is the number of UTF-16 code units.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace scrivel {

// True iff text is well-formed UTF-8: no stray continuation bytes, no
// truncated sequence, no overlong form, no surrogate code point, nothing
// above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Converts UTF-8 to UTF-16. Returns an empty string when text is empty or
// not valid UTF-8.
std::u16string Utf8ToUtf16(std::string_view text);

// Converts UTF-16 to UTF-8. Returns an empty string when text is empty or
// holds an unpaired surrogate.
std::string Utf16ToUtf8(std::u16string_view text);

// Number of UTF-16 code units that text takes; 0 when text is not valid UTF-8.
std::size_t Utf16Length(std::string_view text);

// Appends the UTF-8 encoding of codePoint (at most U+10FFFF) to out.
void AppendUtf8(char32_t codePoint, std::string& out);

// Replaces every ill-formed sequence of text by U+FFFD, so that text read
// from a damaged record can always be shown and written.
std::string SanitizeUtf8(std::string_view text);

}  // namespace scrivel
