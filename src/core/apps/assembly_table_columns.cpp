#include "core/apps/assembly_table_columns.h"

#include <vector>

#include "core/common/result_codes.h"
#include "core/sqlite/schema.h"

namespace scrivel::apps {

std::error_code CountTableColumns(const sqlite::SqliteReader& reader, std::string_view table, int* columns) {
  *columns = 0;
  std::vector<sqlite::SchemaEntry> entries;
  const std::error_code read = sqlite::ReadSchema(reader, &entries);
  for (const sqlite::SchemaEntry& entry : entries) {
    if (entry.type != "table" || entry.name != table) continue;
    *columns = static_cast<int>(sqlite::CreateTableColumns(entry.sql).size());
    return {};
  }
  return read ? read : make_error_code(kQueryError);
}

}  // namespace scrivel::apps
