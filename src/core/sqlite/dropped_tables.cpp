#include "core/sqlite/dropped_tables.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <utility>

#include "core/common/utf8.h"
#include "core/sqlite/cell_payload.h"
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

constexpr std::string_view kCreateTable = "CREATE TABLE";

// The statement that starts at `start` of `page`: up to the parenthesis
// that closes its column list, or nothing when the page ends first or a
// byte on the way is a control character (not a statement's text).
std::optional<std::string> StatementAt(Bytes page, std::size_t start) {
  int depth = 0;
  for (std::size_t at = start; at < page.size(); ++at) {
    const std::uint8_t byte = page[at];
    if (byte < 0x20 && byte != '\n' && byte != '\t' && byte != '\r') return std::nullopt;
    if (byte == '(') ++depth;
    if (byte == ')' && --depth == 0)
      return std::string(reinterpret_cast<const char*>(page.data()) + start, at + 1 - start);
  }
  return std::nullopt;
}

// The table name of a CREATE TABLE statement: the token behind the key
// words (and "IF NOT EXISTS"), its quotes removed.
std::string TableNameOf(std::string_view sql) {
  std::size_t at = kCreateTable.size();
  const auto skipSpaces = [&] {
    while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at]))) ++at;
  };
  skipSpaces();
  constexpr std::string_view kIfNotExists = "IF NOT EXISTS";
  if (sql.substr(at, kIfNotExists.size()) == kIfNotExists) {
    at += kIfNotExists.size();
    skipSpaces();
  }
  if (at >= sql.size()) return {};
  const char open = sql[at];
  const char close = open == '[' ? ']' : open;
  if (open == '"' || open == '`' || open == '[') {
    const std::size_t end = sql.find(close, at + 1);
    return end == std::string_view::npos ? std::string() : std::string(sql.substr(at + 1, end - at - 1));
  }
  std::size_t end = at;
  while (end < sql.size() && !std::isspace(static_cast<unsigned char>(sql[end])) && sql[end] != '(') ++end;
  return std::string(sql.substr(at, end - at));
}

// Byte ranges of the live cells of a schema page, where statements are
// the live schema's own.
std::vector<std::pair<std::size_t, std::size_t>> LiveCellRanges(const SqliteReader& reader, Bytes page,
                                                                const PageHeader& header) {
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  CellPayload cell;
  for (const std::uint32_t offset : CellOffsets(page, header))
    if (!ReadTableLeafCell(reader, page, offset, &cell)) ranges.emplace_back(offset, offset + cell.cellSize);
  return ranges;
}

// CREATE TABLE statements lying in the free space of a schema page whose
// record could not be rebuilt (its header was overwritten): found by their
// text alone.
void FindStatementTexts(const SqliteReader& reader, Bytes page, const PageHeader& header,
                        const std::vector<RecoveredTable>& liveTables, std::vector<RecoveredTable>* dropped) {
  const auto live = LiveCellRanges(reader, page, header);
  const std::string_view text(reinterpret_cast<const char*>(page.data()), page.size());
  for (std::size_t at = text.find(kCreateTable); at != std::string_view::npos; at = text.find(kCreateTable, at + 1)) {
    const bool inLiveCell = std::any_of(live.begin(), live.end(), [&](const auto& range) {
      return at >= range.first && at < range.second;
    });
    if (inLiveCell) continue;
    const auto sql = StatementAt(page, at);
    if (!sql || !IsValidUtf8(*sql)) continue;
    const std::string name = TableNameOf(*sql);
    if (name.empty() || Listed(liveTables, name) || Listed(*dropped, name)) continue;
    TableShape shape = ShapeOf(*sql);
    if (shape.columns.empty()) continue;
    RecoveredTable table;
    table.name = name;
    table.shape = std::move(shape);
    table.dropped = true;
    dropped->push_back(std::move(table));
  }
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
    const CarveInput input{page, pageIndex + 1, reader.UsableSize(), shapes, 0, nullptr};
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
    FindStatementTexts(reader, page, *header, liveTables, &dropped);
  }
  return dropped;
}

}  // namespace scrivel::sqlite
