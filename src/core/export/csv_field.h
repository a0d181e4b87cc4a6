// One text field of the CSV files the export builds from records (the chat
// file of a WhatsApp conversation): made readable (control bytes and broken
// UTF-8 become U+FFFD), then quoted as core/common/csv_quote.h describes:
// always between double quotes, inner double quotes doubled, and a field
// that a spreadsheet would run as a formula starts with an apostrophe.
#pragma once

#include <string>
#include <string_view>

namespace scrivel {

std::string CsvField(std::string_view text);

}  // namespace scrivel
