#include "core/apps/contacts_dump.h"

#include <algorithm>
#include <vector>

#include "core/common/csv_quote.h"
#include "core/common/result_codes.h"
#include "core/apps/assembly_csv.h"
#include "core/apps/assembly_row_columns.h"
#include "core/sqlite/column_resolution.h"
#include "core/sqlite/sqlite_reader.h"
#include "core/sqlite/table_scan.h"
#include "core/sqlite/utf8_text.h"

namespace scrivel::apps {

namespace {

constexpr const char* kContactTable = "ABPersonFullTextSearch_content";

}  // namespace

std::optional<std::string> FormatContactRow(sqlite::Bytes bytes, const sqlite::RecordLayout& layout, std::uint64_t rowNumber,
                                            bool deleted) {
  const auto columns = GatherRowColumns(bytes, layout);
  if (!columns) return std::nullopt;
  const int lastColumn = columns->empty() ? layout.firstColumn : columns->back().column;
  // By column, written in ascending order; an empty field writes nothing.
  std::vector<std::string> fields(static_cast<std::size_t>(lastColumn) + 1);
  fields[layout.firstColumn] = std::to_string(static_cast<std::int32_t>(rowNumber & 0xFFFFFFFFu));

  for (const auto& [column, value] : *columns) {
    const char* separator = column == lastColumn ? "" : ",";
    const std::uint64_t type = value.serialType;
    if (type == 0 && column == 0) {
      fields[0] += ',';
    } else if (type == 0 || type == 13) {
      fields[column] = std::string("NULL") + separator;
    } else if (value.IsSmallInteger() && !value.IsConstant()) {
      fields[column] = std::to_string(value.Integer()) + ',';
    } else if (type >= 5 && type <= 7) {
      fields[column].assign(1, ',');  // an empty field
    } else if (value.IsText()) {
      const std::string_view text(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size());
      if (deleted && !sqlite::StrictText(text)) return std::nullopt;
      std::string& field = fields[column];
      field.clear();
      AppendQuotedCsvField(field, text);
      field += separator;
    }
    // Constants, reserved types and blobs give no field.
  }

  std::string line;
  for (const std::string& field : fields) line += field;
  line += "\r\n";
  return line;
}

namespace {

// Writes each row the walk of the search table finds.
class ContactRowWriter : public sqlite::RowVisitor {
 public:
  ContactRowWriter(sqlite::SqliteReader& reader, CsvAppendFile& file)
      : m_reader(reader), m_file(file), m_counts(sqlite::SchemaColumnNames(reader, kContactTable).size()) {}

  void OnCell(const sqlite::RowOrigin& origin, const sqlite::CellPayload& cell) override {
    const auto layout = sqlite::LiveRecordLayout(cell.bytes);
    if (!layout) return;
    if (!origin.deleted) m_counts.SeeLiveRecord(cell.bytes);
    sqlite::DecoderState& state = m_reader.state;
    // As the contact decoder does: without the table's CREATE TABLE,
    // deleted records are read with the serial-type bytes of the last live
    // one; numbers for them stay above every row id seen.
    state.contactTypeBytes = static_cast<int>(layout->typesEnd - layout->typesBegin);
    state.maxContactRowId = std::max(state.maxContactRowId, cell.rowId);
    const std::uint64_t rowNumber = cell.rowId != 0 ? cell.rowId : ++state.maxContactRowId;
    Write(cell.bytes, *layout, rowNumber, origin.deleted);
  }

  // Deleted rows are read with the count they were recognised with when
  // the schema gives the table's columns; otherwise with the serial-type
  // bytes of the last live row.
  void OnCandidate(const sqlite::RowOrigin& origin, sqlite::Bytes bytes) override {
    if (m_counts.Declared() > 0 && origin.columns > 0) {
      if (const auto layout = sqlite::CandidateRecordLayout(bytes, origin.columns))
        Write(bytes, *layout, ++m_reader.state.maxContactRowId, true);
      return;
    }
    const int typeBytes = m_reader.state.contactTypeBytes;
    const int columns = m_reader.ExpectedColumns(kContactTable);
    const auto layout = typeBytes > 0 ? sqlite::CandidateRecordLayoutByBytes(bytes, static_cast<std::size_t>(typeBytes))
                                      : sqlite::CandidateRecordLayout(bytes, columns > 0 ? static_cast<std::size_t>(columns) : 0);
    if (!layout) return;
    Write(bytes, *layout, ++m_reader.state.maxContactRowId, true);
  }

  std::size_t CandidateColumns(sqlite::SqliteReader& reader) override {
    return m_counts.Declared() > 0 ? m_counts.Declared() : sqlite::RowVisitor::CandidateColumns(reader);
  }
  std::size_t FewestColumns(sqlite::SqliteReader& reader) override {
    return m_counts.Declared() > 0 ? m_counts.Fewest() : CandidateColumns(reader);
  }

 private:
  void Write(sqlite::Bytes bytes, const sqlite::RecordLayout& layout, std::uint64_t rowNumber, bool deleted) {
    if (const auto line = FormatContactRow(bytes, layout, rowNumber, deleted)) m_file.Write(*line);
  }

  sqlite::SqliteReader& m_reader;
  CsvAppendFile& m_file;
  sqlite::SchemaColumnCounts m_counts;
};

}  // namespace

std::error_code DumpContactRows(const std::string& addressBookPath, const std::string& csvPath, std::uint64_t highestRowId) {
  sqlite::SqliteReader reader;
  if (const std::error_code rc = reader.Open(addressBookPath); rc) return rc;
  reader.state.maxContactRowId = highestRowId;
  CsvAppendFile file(csvPath);
  if (file.Error()) return file.Error();
  ContactRowWriter writer(reader, file);
  const std::error_code walked = sqlite::ScanTable(reader, kContactTable, writer);
  if (const std::error_code written = file.Close(); written) return written;
  return walked;
}

}  // namespace scrivel::apps
