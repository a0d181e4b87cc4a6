#include "core/sqlite/generic_rows.h"

#include <algorithm>
#include <cctype>

#include "core/common/result_codes.h"
#include "core/common/utf8.h"
#include "core/sqlite/column_resolution.h"
#include "core/sqlite/record.h"

namespace scrivel::sqlite {

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
      : m_table(table), m_sink(sink), m_counts(table.columns.size()) {}

  void OnCell(const RowOrigin& origin, const CellPayload& cell) override {
    if (!origin.deleted) m_counts.SeeLiveRecord(cell.bytes);
    const auto layout = LiveRecordLayout(cell.bytes);
    if (!layout || !Decode(origin, cell.bytes, *layout, false)) return;
    if (m_table.rowIdColumn >= 0 && static_cast<std::size_t>(m_table.rowIdColumn) < m_row.values.size() &&
        std::holds_alternative<std::monostate>(m_row.values[m_table.rowIdColumn]))
      m_row.values[m_table.rowIdColumn] = static_cast<std::int64_t>(cell.rowId);
    m_sink(m_row);
  }

  // Deleted records are recognised by the column count of CREATE TABLE,
  // also for tables the built-in rules know under another layout, and down
  // to the fewest values a live record of the table holds (rows written
  // before columns were added).
  std::size_t CandidateColumns(SqliteReader&) override { return m_table.columns.size(); }
  std::size_t FewestColumns(SqliteReader&) override { return m_counts.Fewest(); }

  void OnCandidate(const RowOrigin& origin, Bytes bytes) override {
    const auto layout = CandidateRecordLayout(bytes, origin.columns != 0 ? origin.columns : m_table.columns.size());
    if (layout && Decode(origin, bytes, *layout, true)) m_sink(m_row);
  }

 private:
  // Fills m_row from the record. The row's vector and the strings and
  // blobs in it are reused from record to record: values are assigned in
  // place and only the columns the record does not reach are reset.
  bool Decode(const RowOrigin& origin, Bytes bytes, const RecordLayout& layout, bool strictTexts) {
    m_row.origin = origin;
    m_row.values.resize(std::max(m_table.columns.size(), std::size_t{1}));
    std::size_t nextUnset = 0;  // columns from here on have not been assigned
    bool valid = true;
    const bool complete = ForEachColumn(bytes, layout, [&](int column, const ColumnValue& value) {
      const auto index = static_cast<std::size_t>(column);
      if (index >= m_row.values.size()) m_row.values.resize(index + 1);
      for (; nextUnset < index; ++nextUnset) m_row.values[nextUnset] = std::monostate{};
      nextUnset = index + 1;
      GenericValue& out = m_row.values[index];
      if (value.IsInteger()) {
        out = value.Integer();
      } else if (value.IsFloat()) {
        out = value.Float();
      } else if (value.IsText()) {
        const std::string_view text = value.Text();
        const bool wellFormed = IsValidUtf8(text);
        if (strictTexts && (!wellFormed || text.find('\0') != std::string_view::npos)) valid = false;
        if (wellFormed) {
          AssignText(text, out);
        } else {
          out = SanitizeUtf8(text);
        }
      } else if (value.IsBlob()) {
        AssignBlob(value.bytes, out);
      } else {
        out = std::monostate{};
      }
    });
    for (; nextUnset < m_row.values.size(); ++nextUnset) m_row.values[nextUnset] = std::monostate{};
    return complete && valid;
  }

  static void AssignText(std::string_view text, GenericValue& out) {
    if (auto* kept = std::get_if<std::string>(&out)) {
      kept->assign(text);
    } else {
      out.emplace<std::string>(text);
    }
  }

  static void AssignBlob(Bytes bytes, GenericValue& out) {
    if (auto* kept = std::get_if<BlobValue>(&out)) {
      kept->bytes.assign(bytes.begin(), bytes.end());
    } else {
      out.emplace<BlobValue>(BlobValue{{bytes.begin(), bytes.end()}});
    }
  }

  const TableDescription& m_table;
  const std::function<void(const GenericRow&)>& m_sink;
  SchemaColumnCounts m_counts;  // the declared count and the fewest seen in live records
  GenericRow m_row;
};

}  // namespace

std::error_code ListTables(const SqliteReader& reader, std::vector<TableDescription>* tables) {
  tables->clear();
  std::vector<SchemaEntry> entries;
  const std::error_code rc = ReadSchema(reader, &entries);
  for (const SchemaEntry& entry : entries) {
    if (!IsTableWithBTree(entry)) continue;
    TableDescription table;
    table.name = entry.name;
    TableShape shape = ShapeOf(entry.sql);
    table.columns = std::move(shape.columns);
    table.affinities = std::move(shape.affinities);
    table.rowIdColumn = shape.rowIdColumn;
    table.rootPage = entry.rootPage;
    tables->push_back(std::move(table));
  }
  return rc;
}

std::error_code ScanGenericRows(SqliteReader& reader, const TableDescription& table,
                    const std::function<void(const GenericRow&)>& sink) {
  reader.SetSchemaColumnCount(table.name, static_cast<int>(table.columns.size()));
  GenericDecoder decoder(table, sink);
  return ScanTable(reader, table.name, decoder);
}

}  // namespace scrivel::sqlite
