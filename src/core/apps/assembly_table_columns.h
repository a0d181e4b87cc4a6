// Whether a database has a table and how many columns it declares, read
// from the schema table by our own page reader. The call-history and
// WhatsApp assemblies use it to pick the record layout before the rows are
// decoded.
//
// The SQLite library is not asked: it parses every CREATE statement of the
// schema before it answers any query, so one damaged byte in the definition
// of an unrelated table makes it refuse the whole file, while the page
// reader still reaches every row. The count is all that is wanted here, and
// CreateTableColumns gives it.
#pragma once

#include <system_error>

#include <string_view>

#include "core/sqlite/sqlite_reader.h"

namespace scrivel::apps {

// Stores in `*columns` the number of columns the CREATE TABLE statement of
// `table` (compared with letter case, as FindTableRoots does) declares.
// Returns success when the table is listed, even if a later schema page
// could not be read; kQueryError when the schema does not list the table;
// the reader's code when the schema cannot be read at all.
[[nodiscard]] std::error_code CountTableColumns(const sqlite::SqliteReader& reader, std::string_view table, int* columns);

}  // namespace scrivel::apps
