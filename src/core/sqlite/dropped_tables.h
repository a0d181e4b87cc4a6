// Tables that were dropped: DROP TABLE deletes the table's row from the
// schema table and puts its pages on the freelist, where its records stay
// until they are reused. The deleted schema row (type, name, tbl_name,
// rootpage, sql) stays in the free space of the schema's pages as well;
// its CREATE TABLE statement gives the dropped table's columns, by which
// its records on the freelist are recognised.
#pragma once

#include <cstdint>
#include <vector>

#include "core/sqlite/database_recovery.h"
#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

// The dropped tables whose schema row survives in the free space of
// `schemaPages` (page indexes of the schema table's leaves) or in an older
// image of one of them. A table that
// still exists under the same name is not listed (its old schema row is an
// earlier version of a live one), nor is one found twice.
std::vector<RecoveredTable> FindDroppedTables(const SqliteReader& reader, const std::vector<std::uint32_t>& schemaPages,
                                              const std::vector<RecoveredTable>& liveTables);

}  // namespace scrivel::sqlite
