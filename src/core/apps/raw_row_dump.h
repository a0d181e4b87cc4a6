// The walk shared by the two raw row files, "sms.csv" (messages_dump.h)
// and "Contacts.csv" (contacts_dump.h): every row of one table, live rows
// first, then deleted rows (database_recovery.h), each turned into one line
// by the file's own formatter and appended to the file. A row that lost
// values to later writes (partial) is left out.
//
// Row numbers: a live row keeps its rowid; a deleted row gets the next
// number above the caller's highest row id and above every live rowid (the
// live rows come first, so they are all known by then).
#pragma once

#include <system_error>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/record.h"

namespace scrivel::apps {

// The line of one row, "\r\n" included; nothing when the row is left out.
using RawRowFormat = std::function<std::optional<std::string>(sqlite::Bytes record, const sqlite::RecordLayout& layout,
                                                              std::uint64_t rowNumber, bool deleted)>;

// Appends the lines of table `table` of the database `databasePath` to the
// file `csvPath` (created when missing, never truncated). Returns success;
// the code of opening the database; the errno of opening or writing the
// output file; otherwise the code of the walk (success, or the code of a
// page that could not be read). A database without the table adds nothing.
[[nodiscard]] std::error_code DumpRawRows(const std::string& databasePath, std::string_view table,
                                          const std::string& csvPath, std::uint64_t highestRowId,
                                          const RawRowFormat& format);

}  // namespace scrivel::apps
