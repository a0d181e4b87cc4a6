// The columns of one raw row, gathered before a row file line is written,
// so that the writer knows which column is the row's last.
#pragma once

#include <optional>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/record.h"

namespace scrivel::apps {

struct RowColumn {
  int column = 0;     // 0-based position in the record
  sqlite::ColumnValue value;  // points into the record's buffer
};

// The columns of the record in `bytes` laid out by `layout`, in order;
// nothing when a serial type is reserved or a value runs past the end.
// The values stay valid while `bytes` does.
std::optional<std::vector<RowColumn>> GatherRowColumns(sqlite::Bytes bytes, const sqlite::RecordLayout& layout);

}  // namespace scrivel::apps
