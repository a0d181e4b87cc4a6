// The orders in which the assembled records are handed out: by date text
// (messages, calls, WhatsApp) or by name (contacts), compared without
// regard to letter case. The sorts are stable, so records that compare
// equal keep the order in which the table decoders delivered them (live
// rows before rows rebuilt from free space), and a list comes out the same
// on every run.
#pragma once

#include <algorithm>
#include <string_view>
#include <vector>

namespace scrivel::sqlite_recovery {

// True when `a` sorts before `b` with ASCII letters compared as lower case;
// all other bytes (digits, punctuation, UTF-8 sequences) compare by value.
bool TextLessIgnoringCase(std::string_view a, std::string_view b);

// Sorts `records` by their `date` text (ascending, letter case ignored,
// equal dates in their present order).
template <typename Record>
void SortByDateText(std::vector<Record>& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return TextLessIgnoringCase(a.date, b.date); });
}

// Sorts `records` by their `name` text in the same way.
template <typename Record>
void SortByNameText(std::vector<Record>& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return TextLessIgnoringCase(a.name, b.name); });
}

}  // namespace scrivel::sqlite_recovery
