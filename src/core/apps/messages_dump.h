// "sms.csv": the raw rows of sms.db's "message" table, live and deleted,
// one line each, in the order the recovery engine gives them (live rows,
// then deleted rows; database_recovery.h). Deleted rows get fresh row
// numbers and the values a re-inserted row needs.
//
// A line is the fields of the row's columns in ascending column order,
// written one after the other, then "\r\n":
//   first column   the row number ("17"); column 0 is the integer primary
//                  key, stored as NULL, so it reads "17,"
//   NULL           "NULL,"        empty text     "NULL,"
//   integer 1-4 B  "%d,"          integer 6/8 B, float   ","
//   constant 0/1   "0" / "1", with "," unless it is the row's last column
//   reserved 10-12 no field
//   column 8       (attributedBody, a blob) each byte as "%02x", then ","
//   other text or blob   the bytes quoted as core/common/csv_quote.h
//                  does (double quotes doubled, an apostrophe before a
//                  leading "=", "+", "-", "@", tab or CR), then ","
// A deleted row (no rowid) is numbered upward from the highest ROWID; its
// column 1 becomes the GUID "27B99F78-F6F0-475F-8BA1-" + the row number as
// twelve upper-case hex digits; column 19 (is_finished) "1,"; column 15
// (date) the time of the dump in seconds since 2001; column 16 (date_read)
// the same and column 26 (is_read) "1," for a received message, "0," and
// "0," for a sent one (column 21, is_from_me, the constant 1).
// A deleted row is left out when its GUID (column 1) is not whole
// (IsMessageGuid, message_text.h), when its text (column 2) is not real
// text (a live row's text is written as stored), when its column 13 (a
// 36-character id) is not 36 characters from "-" to "z", or when a value
// runs past the row's bytes.
#pragma once

#include <system_error>

#include <cstdint>
#include <optional>
#include <string>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/record.h"

namespace scrivel::apps {

// Appends the rows of "message" in `smsPath` to the file `csvPath`
// (created when missing, never truncated). Deleted rows are numbered from
// `highestRowId` + 1 upward, and above every live ROWID.
// Returns success; the code of opening sms.db; the errno of opening or writing
// the output file; otherwise the code of the walk (success, or the code of a
// page that could not be read).
[[nodiscard]] std::error_code DumpMessageRows(const std::string& smsPath, const std::string& csvPath, std::uint64_t highestRowId);

struct MessageRowContext {
  bool deleted = false;           // not a live row of the table
  std::uint64_t rowNumber = 0;    // the cell's rowid, or the fresh number of a deleted row
  std::int64_t dumpTime = 0;      // seconds since 2001-01-01 UTC, for the dates of deleted rows
};

// The line of one "message" record in `bytes` laid out by `layout`,
// "\r\n" included; nothing when the row is left out.
std::optional<std::string> FormatMessageRow(sqlite::Bytes bytes, const sqlite::RecordLayout& layout, const MessageRowContext& context);

}  // namespace scrivel::apps
