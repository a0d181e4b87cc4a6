// "Contacts.csv": the raw rows of the address book's search table
// "ABPersonFullTextSearch_content", live and deleted, one line each, in
// the order the recovery engine gives them (live rows, then deleted rows;
// database_recovery.h).
//
// A line is the fields of the row's columns in ascending column order,
// written one after the other, then "\r\n":
//   first column   the row number ("%d"); column 0 is the docid, stored as
//                  NULL, so it reads "17,"
//   NULL, empty text   "NULL", with "," unless it is the row's last column
//   integer 1-4 B  "%d,"          integer 6/8 B, float   ","
//   constants, reserved types, blobs   no field
//   text           the bytes quoted as core/common/csv_quote.h does
//                  (double quotes doubled, an apostrophe before a
//                  leading "=", "+", "-", "@", tab or CR), with ","
//                  unless it is the row's last column
// A deleted row is left out when one of its texts is not real text
// (StrictText); any row when a value runs past the row's bytes. A live row's
// texts are written as stored, whatever they hold. Deleted rows are
// numbered upward from the highest row id.
#pragma once

#include <system_error>

#include <cstdint>
#include <optional>
#include <string>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/record.h"

namespace scrivel::apps {

// Appends the rows of the search table in `addressBookPath` to the file
// `csvPath` (created when missing, never truncated). Deleted rows are
// numbered from `highestRowId` + 1 upward, and above every live row id. Returns success; the code of opening the address book; the
// errno of opening or writing the output file; otherwise the code of the
// walk.
[[nodiscard]] std::error_code DumpContactRows(const std::string& addressBookPath, const std::string& csvPath,
                                  std::uint64_t highestRowId);

// The line of one record in `bytes` laid out by `layout`, "\r\n" included;
// nothing when the row is left out. `deleted` says the record is not a
// live row of the table.
std::optional<std::string> FormatContactRow(sqlite::Bytes bytes, const sqlite::RecordLayout& layout, std::uint64_t rowNumber,
                                            bool deleted);

}  // namespace scrivel::apps
