#include "core/apps/assembly_row_columns.h"

namespace scrivel::apps {

std::optional<std::vector<RowColumn>> GatherRowColumns(sqlite::Bytes bytes, const sqlite::RecordLayout& layout) {
  std::vector<RowColumn> columns;
  columns.reserve(layout.typesEnd - layout.typesBegin);  // at least one byte per serial type
  const bool complete =
      sqlite::ForEachColumn(bytes, layout, [&](int column, const sqlite::ColumnValue& value) { columns.push_back({column, value}); });
  if (!complete) return std::nullopt;
  return columns;
}

}  // namespace scrivel::apps
