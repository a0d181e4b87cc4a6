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

}  // namespace scrivel::sqlite
