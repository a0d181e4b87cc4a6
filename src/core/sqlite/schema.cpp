#include "core/sqlite/schema.h"

#include <algorithm>

#include "core/common/result_codes.h"
#include "core/sqlite/btree_walk.h"
#include "core/sqlite/cell_payload.h"
#include "core/sqlite/page_set.h"
#include "core/sqlite/record.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// Column positions of a schema row.
enum SchemaColumn { kType = 0, kName = 1, kTableName = 2, kRootPage = 3, kSql = 4 };

bool DecodeSchemaRow(Bytes payload, SchemaEntry* entry) {
  const auto layout = LiveRecordLayout(payload);
  if (!layout) return false;
  int columns = 0;
  bool wellFormed = true;
  const bool complete = ForEachColumn(payload, *layout, [&](int column, const ColumnValue& value) {
    ++columns;
    switch (column) {
      case kType: entry->type = value.IsText() ? std::string(value.Text()) : ""; break;
      case kName: entry->name = value.IsText() ? std::string(value.Text()) : ""; break;
      case kTableName: entry->tableName = value.IsText() ? std::string(value.Text()) : ""; break;
      case kRootPage:
        if (value.IsInteger() && value.Integer() >= 0 && value.Integer() <= UINT32_MAX)
          entry->rootPage = static_cast<std::uint32_t>(value.Integer());
        else if (!value.IsNull())
          wellFormed = false;
        break;
      case kSql: entry->sql = value.IsText() ? std::string(value.Text()) : ""; break;
      default: break;
    }
  });
  return complete && wellFormed && columns == fmt::kSchemaColumnCount;
}

}  // namespace

std::error_code ReadSchema(const SqliteReader& reader, std::vector<SchemaEntry>* entries) {
  entries->clear();
  PageSet visited(reader.PageCount());
  PageSet leaves(reader.PageCount());
  const std::error_code walk = CollectLeafPages(reader, fmt::kSchemaRootPageNumber - 1, visited, leaves);
  std::vector<std::uint8_t> page(reader.PageSize());
  CellPayload cell;
  for (const std::uint32_t pageIndex : leaves.Ascending()) {
    if (const std::error_code rc = reader.ReadPage(pageIndex, page); rc) return rc;
    const auto header = ReadPageHeader(page, PageHeaderOffset(pageIndex));
    if (!header) continue;
    for (const std::uint32_t offset : CellOffsets(page, *header)) {
      SchemaEntry entry;
      if (!ReadTableLeafCell(reader, page, offset, &cell) && DecodeSchemaRow(cell.bytes, &entry))
        entries->push_back(std::move(entry));
    }
  }
  return walk;
}

std::error_code FindTableRoots(const SqliteReader& reader, std::string_view name, std::vector<std::uint32_t>* roots) {
  roots->clear();
  std::vector<SchemaEntry> entries;
  const std::error_code rc = ReadSchema(reader, &entries);
  for (const SchemaEntry& entry : entries) {
    const bool belongs = entry.name == name || entry.tableName == name;
    if (belongs && entry.rootPage != 0 && entry.rootPage <= reader.PageCount()) roots->push_back(entry.rootPage - 1);
  }
  std::sort(roots->begin(), roots->end());
  roots->erase(std::unique(roots->begin(), roots->end()), roots->end());
  return rc;
}

}  // namespace scrivel::sqlite
