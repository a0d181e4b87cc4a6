#include "core/sqlite_recovery/generic_rows.h"

#include <algorithm>
#include <cctype>

#include "core/common/result_codes.h"
#include "core/common/utf8.h"
#include "core/sqlite_recovery/record.h"
#include "core/sqlite_recovery/utf8_text.h"

namespace scrivel::sqlite_recovery {

namespace {

std::string Upper(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  return result;
}

bool IsTableWithBTree(const SchemaEntry& entry) {
  if (entry.type != "table" || entry.rootPage == 0) return false;
  return Upper(entry.sql).find("WITHOUT ROWID") == std::string::npos;  // those are index b-trees
}

class GenericDecoder : public RowVisitor {
 public:
  GenericDecoder(const TableDescription& table, const std::function<void(const GenericRow&)>& sink)
      : m_table(table), m_sink(sink) {}

  void OnCell(const RowOrigin& origin, const CellPayload& cell) override {
    const auto layout = LiveRecordLayout(cell.bytes);
    if (!layout || !Decode(origin, cell.bytes, *layout, false)) return;
    if (m_table.rowIdColumn >= 0 && static_cast<std::size_t>(m_table.rowIdColumn) < m_row.values.size() &&
        std::holds_alternative<std::monostate>(m_row.values[m_table.rowIdColumn]))
      m_row.values[m_table.rowIdColumn] = static_cast<std::int64_t>(cell.rowId);
    m_sink(m_row);
  }

  // Deleted records are recognised by the column count of CREATE TABLE,
  // also for tables the built-in rules know under another layout.
  std::size_t CandidateColumns(SqliteReader&) override { return m_table.columns.size(); }

  void OnCandidate(const RowOrigin& origin, Bytes bytes) override {
    const auto layout = CandidateRecordLayout(bytes, m_table.columns.size());
    if (layout && Decode(origin, bytes, *layout, true)) m_sink(m_row);
  }

 private:
  bool Decode(const RowOrigin& origin, Bytes bytes, const RecordLayout& layout, bool strictTexts) {
    m_row.origin = origin;
    m_row.values.assign(std::max(m_table.columns.size(), std::size_t{1}), std::monostate{});
    bool valid = true;
    const bool complete = ForEachColumn(bytes, layout, [&](int column, const ColumnValue& value) {
      if (static_cast<std::size_t>(column) >= m_row.values.size()) m_row.values.resize(column + 1);
      GenericValue& out = m_row.values[column];
      if (value.IsInteger()) {
        out = value.Integer();
      } else if (value.IsFloat()) {
        out = value.Float();
      } else if (value.IsText()) {
        const std::string_view text = value.Text();
        if (strictTexts && (!IsValidUtf8(text) || text.find('\0') != std::string_view::npos)) valid = false;
        out = PlainText(text);
      } else if (value.IsBlob()) {
        out = BlobValue{{value.bytes.begin(), value.bytes.end()}};
      }
    });
    return complete && valid;
  }

  const TableDescription& m_table;
  const std::function<void(const GenericRow&)>& m_sink;
  GenericRow m_row;
};

}  // namespace

int ListTables(const SqliteReader& reader, std::vector<TableDescription>* tables) {
  tables->clear();
  std::vector<SchemaEntry> entries;
  const int rc = ReadSchema(reader, &entries);
  for (const SchemaEntry& entry : entries) {
    if (!IsTableWithBTree(entry)) continue;
    TableDescription table;
    table.name = entry.name;
    TableShape shape = ShapeOf(entry.sql);
    table.columns = std::move(shape.columns);
    table.affinities = std::move(shape.affinities);
    table.rowIdColumn = shape.rowIdColumn;
    tables->push_back(std::move(table));
  }
  return rc;
}

int ScanGenericRows(SqliteReader& reader, const TableDescription& table,
                    const std::function<void(const GenericRow&)>& sink) {
  reader.SetSchemaColumnCount(table.name, static_cast<int>(table.columns.size()));
  GenericDecoder decoder(table, sink);
  return ScanTable(reader, table.name, decoder);
}

}  // namespace scrivel::sqlite_recovery
