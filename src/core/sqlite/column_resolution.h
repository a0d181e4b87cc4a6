// Finds the columns a decoder keeps by their names in the table's own
// CREATE TABLE statement. Every iOS generation adds, drops or reorders
// columns, so fixed positions are right for one layout only; the names
// stay. Where the statement does not name the columns (no schema row, or
// none of the names appears), the built-in positions stand.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

// How a decoder's column name is compared with a schema column name.
enum class NameForm {
  kExact,              // the whole name, letter case ignored
  kAfterIndexPrefix,   // the schema name without its "c<digits>" prefix ("c16Phone" -> "Phone")
};

struct KeptColumn {
  const char* name;  // null: the column has no name to look up; its position stands
  int position;      // the built-in position
};

struct ResolvedColumns {
  std::vector<int> positions;  // one per kept column; -1 = the table has no such column
  int declaredColumns = 0;     // column count of the CREATE TABLE statement; 0 = positions are the built-in ones
};

// Resolves `kept` against the column names of a table, in CREATE order.
ResolvedColumns ResolveColumns(std::span<const KeptColumn> kept, const std::vector<std::string>& tableColumns,
                               NameForm form);

// The column names of table `table` from the schema of the open reader;
// empty when the schema has no such table or cannot be read.
std::vector<std::string> SchemaColumnNames(const SqliteReader& reader, std::string_view table);

// The serial-type counts by which a table's deleted records are read when
// its CREATE TABLE statement gives the column count: that count, and down
// to the fewest values a live record of the table carries (rows written
// before columns were added keep fewer).
class SchemaColumnCounts {
 public:
  // `declared` = 0: the schema does not give the count.
  explicit SchemaColumnCounts(std::size_t declared) : m_declared(declared), m_fewest(declared) {}
  std::size_t Declared() const { return m_declared; }
  std::size_t Fewest() const { return m_fewest; }
  // Takes the serial-type count of the live record `payload` into account.
  void SeeLiveRecord(Bytes payload);

 private:
  std::size_t m_declared;
  std::size_t m_fewest;  // at most m_declared
};

}  // namespace scrivel::sqlite
