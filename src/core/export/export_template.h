// The page templates of the export. A template is a UTF-8 HTML file beside
// the executable that holds "{|content|}" once, where the records go, and
// any number of "{|title|}" before it; the conversation templates also hold
// "{|person|}" in their head.
#pragma once

#include <system_error>

#include <string>
#include <string_view>

namespace scrivel {

inline constexpr std::string_view kContentPlaceholder = "{|content|}";
inline constexpr std::string_view kTitlePlaceholder = "{|title|}";
inline constexpr std::string_view kPersonPlaceholder = "{|person|}";

struct ExportTemplate {
  std::string raw;   // the whole file
  std::string head;  // raw before "{|content|}", every "{|title|}" replaced
  std::string tail;  // raw after "{|content|}"
};

// Replaces every `from` in `text` by `to`, left to right, without looking
// into the inserted text again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Reads the template at `path` and splits it at its first "{|content|}",
// putting `titleHtml` (already escaped) in place of every "{|title|}" of the
// head; a "{|title|}" after the content stays. Returns success; kBadFile when
// the file cannot be read or holds no "{|content|}" (a page without a place
// for its records would lose them).
[[nodiscard]] std::error_code LoadExportTemplate(const std::string& path, std::string_view titleHtml, ExportTemplate* out);

}  // namespace scrivel
