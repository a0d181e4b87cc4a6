// Text values of records: UTF-8 as stored, checked before it is kept. The
// general UTF-8 helpers live in core/common/utf8.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scrivel::sqlite {

// A text that must be real text: it is rejected when it is empty, is not
// well-formed UTF-8, holds a NUL character or holds U+FFFD (the mark of an
// earlier failed conversion). Bytes of a deleted record that merely happen
// to sit where a text was expected fail this test most of the time.
std::optional<std::string> StrictText(std::string_view bytes);

// A text taken as it is; sequences that are not UTF-8 become U+FFFD so the
// result is always well-formed.
std::string PlainText(std::string_view bytes);

// True when `text` holds a character below U+0020 (a control character).
bool HasControlCharacter(std::string_view text);

}  // namespace scrivel::sqlite
