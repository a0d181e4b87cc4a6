// Whether a record can be a row of a table, judged by its table's CREATE
// TABLE statement. Used on every record not read from a live cell, so that
// bytes which merely look like a record are not reported as a row.
#pragma once

#include <cstddef>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/record.h"
#include "core/sqlite/schema.h"

namespace scrivel::sqlite {

// True when every value of the record lies inside `bytes` and is of a kind
// its column can hold: the INTEGER PRIMARY KEY column stores NULL, a column
// of text affinity never holds a number (SQLite turns numbers stored there
// into text; blobs stay blobs), a column of integer, real or numeric
// affinity holds no blob. Stores the offset one past the record's last
// value in `*valuesEnd` when given.
bool KindsFitShape(Bytes bytes, const RecordLayout& layout, const TableShape& shape, std::size_t* valuesEnd = nullptr);

// True when the complete record `record` (header-size varint first) has
// from `fewestColumns` to as many values as the table has columns, its
// values fit the columns (KindsFitShape) and its texts are well-formed
// UTF-8 without NUL characters.
bool RecordFitsShape(Bytes record, const TableShape& shape, std::size_t fewestColumns);

}  // namespace scrivel::sqlite
