// JSON text for the command line's and the export's machine-readable output.
#pragma once

#include <string>
#include <string_view>

namespace scrivel {

// `text` as a JSON string literal, quotes included: quote, backslash and
// control characters escaped; ill-formed UTF-8 replaced by U+FFFD, so the
// result is always valid JSON.
std::string JsonString(std::string_view text);

}  // namespace scrivel
