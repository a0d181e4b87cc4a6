#include "core/sqlite_recovery/assembly_row_columns.h"

namespace scrivel::sqlite_recovery {

std::optional<std::vector<RowColumn>> GatherRowColumns(Bytes bytes, const RecordLayout& layout) {
  std::vector<RowColumn> columns;
  columns.reserve(layout.typesEnd - layout.typesBegin);  // at least one byte per serial type
  const bool complete =
      ForEachColumn(bytes, layout, [&](int column, const ColumnValue& value) { columns.push_back({column, value}); });
  if (!complete) return std::nullopt;
  return columns;
}

}  // namespace scrivel::sqlite_recovery
