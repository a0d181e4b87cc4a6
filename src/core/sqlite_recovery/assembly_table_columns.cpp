#include "core/sqlite_recovery/assembly_table_columns.h"

#include <vector>

#include "core/common/result_codes.h"
#include "core/sqlite_recovery/schema.h"

namespace scrivel::sqlite_recovery {

std::error_code CountTableColumns(const SqliteReader& reader, std::string_view table, int* columns) {
  *columns = 0;
  std::vector<SchemaEntry> entries;
  const std::error_code read = ReadSchema(reader, &entries);
  for (const SchemaEntry& entry : entries) {
    if (entry.type != "table" || entry.name != table) continue;
    *columns = static_cast<int>(CreateTableColumns(entry.sql).size());
    return {};
  }
  return read ? read : make_error_code(kQueryError);
}

}  // namespace scrivel::sqlite_recovery
