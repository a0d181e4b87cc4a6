// Asks the SQLite library whether a database has a table and how many
// columns it declares. The call-history and WhatsApp assemblies use it to
// pick the record layout before the page reader decodes the rows. The
// database is opened read-only and immutable: the library takes no locks
// and creates no journal or shared-memory file beside it, so a file inside
// a backup folder is never written.
#pragma once

#include <system_error>

#include <string>
#include <string_view>

namespace scrivel::sqlite_recovery {

// Prepares "select * from <table>;" on `path` and stores the number of
// columns the statement yields (the table's declared columns) in
// `*columns`. Returns success; the library's code when the file cannot be
// opened; kQueryError when the statement fails (no such table, or not a
// database).
[[nodiscard]] std::error_code CountTableColumns(const std::string& path, std::string_view table, int* columns);

}  // namespace scrivel::sqlite_recovery
