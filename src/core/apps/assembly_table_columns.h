// Whether a database has a table and how many columns it declares, from
// the schema the recovery engine read. The call-history and WhatsApp
// assemblies use it to pick the record layout before the rows are decoded.
//
// The SQLite library is not asked: it parses every CREATE statement of the
// schema before it answers any query, so one damaged byte in the definition
// of an unrelated table makes it refuse the whole file, while the page
// reader still reaches every row. The count is all that is wanted here.
#pragma once

#include <system_error>

#include <string_view>

#include "core/sqlite/database_recovery.h"

namespace scrivel::apps {

// Stores in `*columns` the number of columns the CREATE TABLE statement of
// `table` (letter case ignored) declares. Returns success when the schema
// lists the table; kQueryError when it does not (0 is stored then).
[[nodiscard]] std::error_code CountTableColumns(const sqlite::DatabaseRecovery& recovery, std::string_view table, int* columns);

}  // namespace scrivel::apps
