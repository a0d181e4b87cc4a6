#include "core/apps/assembly_table_columns.h"

#include "core/common/result_codes.h"

namespace scrivel::apps {

std::error_code CountTableColumns(const sqlite::DatabaseRecovery& recovery, std::string_view table, int* columns) {
  *columns = 0;
  const std::optional<std::size_t> index = recovery.FindTable(table);
  if (!index) return make_error_code(kQueryError);
  *columns = static_cast<int>(recovery.Tables()[*index].shape.columns.size());
  return {};
}

}  // namespace scrivel::apps
