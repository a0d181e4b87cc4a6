// A small well-formedness check for the pages the export writes: every tag
// is closed in order (void elements excepted), and every "<" and "&" in text
// starts a tag or a character reference, so recovered text cannot have
// slipped in unescaped.
#pragma once

#include <string>

namespace scrivel::testing {

// Returns "" when `html` passes, else a description of the first fault.
std::string CheckHtml(const std::string& html);

}  // namespace scrivel::testing
