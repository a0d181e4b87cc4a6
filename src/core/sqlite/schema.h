// The schema table (sqlite_master), whose b-tree is rooted on page 1: one
// row per table, index, view and trigger with the columns type, name,
// tbl_name, rootpage and sql. Read with the same page walk as any table.
#pragma once

#include <system_error>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

struct SchemaEntry {
  std::string type;         // "table", "index", "view", "trigger"
  std::string name;
  std::string tableName;    // the table an index or trigger belongs to; a table's own name
  std::uint32_t rootPage = 0;  // page number of the b-tree root; 0 for views and triggers
  std::string sql;          // the CREATE statement
};

// Reads every live row of the schema table into `entries` (cleared first),
// in page order. Rows that are not five-column schema rows are skipped.
// Returns success or the code of the first page that could not be read.
[[nodiscard]] std::error_code ReadSchema(const SqliteReader& reader, std::vector<SchemaEntry>* entries);

// Page indexes of the roots of table `name` (compared with letter case):
// the table's own b-tree and those of its indexes, ascending and without
// repeats. An absent table gives no roots and success. Roots outside the file
// are left out.
[[nodiscard]] std::error_code FindTableRoots(const SqliteReader& reader, std::string_view name, std::vector<std::uint32_t>* roots);

struct ColumnDefinition {
  std::string name;          // quotes removed
  std::string declaredType;  // "INTEGER", "VARCHAR(20)", "" when none is declared
  bool notNull = false;      // the definition carries a NOT NULL constraint
};

// The columns of a CREATE TABLE statement, in order. Empty when the
// statement has no column list.
std::vector<ColumnDefinition> CreateTableColumns(std::string_view sql);

// The type affinity SQLite gives a declared column type.
enum class ColumnAffinity { kInteger, kText, kBlob, kReal, kNumeric };
ColumnAffinity AffinityOf(std::string_view declaredType);

// What the CREATE TABLE statement of a table says about its records.
struct TableShape {
  std::vector<std::string> columns;          // names, in order
  std::vector<ColumnAffinity> affinities;    // one per column
  std::vector<bool> notNull;                 // one per column: declared NOT NULL
  int rowIdColumn = -1;                      // the INTEGER PRIMARY KEY column (which stores NULL), or -1
  bool withoutRowId = false;                 // declared WITHOUT ROWID: its rows live in an index b-tree
};
TableShape ShapeOf(std::string_view createTableSql);

}  // namespace scrivel::sqlite
