// The quoting of one text field of the comma-separated files the export
// writes (the chat files of the export, and the raw row files "sms.csv" and
// "Contacts.csv"): always between double quotes, with each double quote
// inside doubled (RFC 4180). A spreadsheet program evaluates a cell that
// starts with "=", "+", "-" or "@" as a formula (and some also after a
// leading tab or carriage return), so such a field gets an apostrophe after
// its opening quote: the cell then shows the text instead of running it.
//
//   ab"c     -> "ab""c"
//   O'Brien  -> "O'Brien"
//   =1+2     -> "'=1+2"
//   +1 555   -> "'+1 555"
#pragma once

#include <string>
#include <string_view>

namespace scrivel {

// True when a spreadsheet would take a cell that starts with `text` as a
// formula.
bool StartsLikeFormula(std::string_view text);

// Appends `text` as one quoted field (bytes kept as they are, apart from
// the doubled quotes and the leading apostrophe described above).
void AppendQuotedCsvField(std::string& out, std::string_view text);

}  // namespace scrivel
