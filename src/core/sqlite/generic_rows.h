// Rows of any table, decoded by serial type alone: the recovery for tables
// the application has no decoder of its own for. The column names and the
// column count that recognises deleted records come from the table's
// CREATE TABLE statement.
#pragma once

#include <system_error>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/sqlite/schema.h"
#include "core/sqlite/sqlite_reader.h"
#include "core/sqlite/table_scan.h"

namespace scrivel::sqlite {

struct BlobValue {
  std::vector<std::uint8_t> bytes;
  bool operator==(const BlobValue&) const = default;
};

// NULL, a signed 64-bit integer, a float, a UTF-8 text or a blob.
using GenericValue = std::variant<std::monostate, std::int64_t, double, std::string, BlobValue>;

struct GenericRow {
  RowOrigin origin;
  std::vector<GenericValue> values;  // one per column of the table
};

struct TableDescription {
  std::string name;
  std::vector<std::string> columns;             // from CREATE TABLE, in order
  std::vector<ColumnAffinity> affinities;       // one per column
  int rowIdColumn = -1;                         // the INTEGER PRIMARY KEY column (which stores NULL), or -1
  std::uint32_t rootPage = 0;                   // page number of the table's b-tree root, as the schema gives it
};

// The tables of the open file that have a b-tree (views and virtual tables
// left out), in schema order. Returns success or a read code.
[[nodiscard]] std::error_code ListTables(const SqliteReader& reader, std::vector<TableDescription>* tables);

// Scans `table` (ScanTable) and hands every row to `sink`: live cells as
// stored (the rowid put into the INTEGER PRIMARY KEY column), deleted
// records when all their values lie inside the page, every text is
// well-formed UTF-8 without NUL characters, no reserved serial type
// appears, and each value is of a kind its column can hold: the INTEGER
// PRIMARY KEY column stores NULL, a column of text affinity holds text
// (SQLite turns numbers stored there into text), a column of integer,
// real or numeric affinity holds no blob. Deleted records are recognised
// with the table's column count and, where the file says how long they
// are, with fewer values down to the fewest a live record holds. Rows hold
// as many values as the table has columns; missing trailing values (rows
// written before a column was added) are NULL.
[[nodiscard]] std::error_code ScanGenericRows(SqliteReader& reader, const TableDescription& table,
                                  const std::function<void(const GenericRow&)>& sink);

}  // namespace scrivel::sqlite
