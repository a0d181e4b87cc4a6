#include "core/apps/notes_text.h"

#include <cstddef>
#include <string_view>
#include <utility>

namespace scrivel::apps {

namespace {

struct Replacement {
  std::string_view from;
  std::string_view to;
};

// The order matters: see CleanNoteHtml.
constexpr Replacement kNoteReplacements[] = {
    {"&#39;", "'"},  {"&quot;", "\""}, {"&lt;", "<"},   {"&gt;", ">"}, {"&nbsp;", " "},
    {"&amp;", "&"},  {"<div>", "\n"},  {"</div>", ""},  {"<br>", "\n"},
};

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::size_t position = text.find(from);
  if (position == std::string::npos) return;
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  while (position != std::string::npos) {
    result.append(text, copied, position - copied);
    result += to;
    copied = position + from.size();
    position = text.find(from, copied);
  }
  result.append(text, copied, std::string::npos);
  text = std::move(result);
}

}  // namespace

void CleanNoteHtml(std::string& html) {
  for (const Replacement& replacement : kNoteReplacements) ReplaceAll(html, replacement.from, replacement.to);
}

}  // namespace scrivel::apps
