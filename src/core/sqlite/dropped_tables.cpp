#include "core/sqlite/dropped_tables.h"

#include <algorithm>
#include <string>

#include "core/sqlite/free_space_carver.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/record.h"
#include "core/sqlite/utf8_text.h"

namespace scrivel::sqlite {

namespace {

// The schema table's own columns.
const TableShape& SchemaShape() {
  static const TableShape shape =
      ShapeOf("CREATE TABLE sqlite_master(type text, name text, tbl_name text, rootpage integer, sql text)");
  return shape;
}

struct SchemaRow {
  std::string type;
  std::string name;
  std::string sql;
};

std::optional<SchemaRow> ReadSchemaRow(Bytes record) {
  const auto layout = LiveRecordLayout(record);
  if (!layout) return std::nullopt;
  SchemaRow row;
  const bool complete = ForEachColumn(record, *layout, [&](int column, const ColumnValue& value) {
    if (!value.IsText()) return;
    const auto text = StrictText(value.Text());
    if (!text) return;
    if (column == 0) row.type = *text;
    if (column == 1) row.name = *text;
    if (column == 4) row.sql = *text;
  });
  if (!complete || row.type != "table" || row.name.empty() || row.sql.empty()) return std::nullopt;
  return row;
}

bool Listed(const std::vector<RecoveredTable>& tables, const std::string& name) {
  return std::any_of(tables.begin(), tables.end(), [&](const RecoveredTable& table) { return table.name == name; });
}

}  // namespace

std::vector<RecoveredTable> FindDroppedTables(const SqliteReader& reader, const std::vector<std::uint32_t>& schemaPages,
                                              const std::vector<RecoveredTable>& liveTables) {
  std::vector<RecoveredTable> dropped;
  std::vector<std::uint8_t> page(reader.PageSize());
  std::vector<CarvedRecord> carved;
  const TableShape shapes[] = {SchemaShape()};
  for (const std::uint32_t pageIndex : schemaPages) {
    if (reader.ReadPage(pageIndex, page)) continue;
    const auto header = ReadPageHeader(page, PageHeaderOffset(pageIndex));
    if (!header || !header->IsTableLeaf()) continue;
    carved.clear();
    const CarveInput input{page, pageIndex + 1, reader.UsableSize(), shapes, nullptr};
    CarveLeafPage(input, *header, &carved);
    for (const CarvedRecord& record : carved) {
      if (record.shape != 0 || record.partial) continue;
      const auto row = ReadSchemaRow(record.record);
      if (!row || Listed(liveTables, row->name) || Listed(dropped, row->name)) continue;
      TableShape shape = ShapeOf(row->sql);
      if (shape.columns.empty()) continue;
      RecoveredTable table;
      table.name = row->name;
      table.shape = std::move(shape);
      table.dropped = true;
      dropped.push_back(std::move(table));
    }
  }
  return dropped;
}

}  // namespace scrivel::sqlite
