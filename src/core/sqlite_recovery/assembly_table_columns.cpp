#include "core/sqlite_recovery/assembly_table_columns.h"

#include <sqlite3.h>

#include <memory>

#include "core/common/result_codes.h"
#include "core/common/sqlite_uri.h"

namespace scrivel::sqlite_recovery {

namespace {

struct DatabaseCloser {
  void operator()(sqlite3* database) const { sqlite3_close(database); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

}  // namespace

std::error_code CountTableColumns(const std::string& path, std::string_view table, int* columns) {
  *columns = 0;
  sqlite3* rawDatabase = nullptr;
  const int opened = sqlite3_open_v2(ReadOnlySqliteUri(path).c_str(), &rawDatabase,
                                     SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  const std::unique_ptr<sqlite3, DatabaseCloser> database(rawDatabase);
  if (opened != SQLITE_OK) return kBadFile;  // missing, unreadable or not a database

  const std::string query = "select * from \"" + std::string(table) + "\";";
  sqlite3_stmt* rawStatement = nullptr;
  const int prepared = sqlite3_prepare_v2(database.get(), query.c_str(), -1, &rawStatement, nullptr);
  const std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement(rawStatement);
  if (prepared != SQLITE_OK || !statement) return kQueryError;
  *columns = sqlite3_column_count(statement.get());
  return {};
}

}  // namespace scrivel::sqlite_recovery
