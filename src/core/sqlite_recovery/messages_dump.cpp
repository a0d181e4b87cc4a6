#include "core/sqlite_recovery/messages_dump.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "core/common/result_codes.h"
#include "core/sqlite_recovery/assembly_csv.h"
#include "core/sqlite_recovery/assembly_row_columns.h"
#include "core/sqlite_recovery/column_resolution.h"
#include "core/sqlite_recovery/local_date.h"
#include "core/sqlite_recovery/sqlite_reader.h"
#include "core/sqlite_recovery/table_scan.h"
#include "core/sqlite_recovery/utf8_text.h"

namespace scrivel::sqlite_recovery {

namespace {

constexpr const char* kMessageTable = "message";

// Column positions of "message" (the 38- and the 51-column layouts agree on them).
constexpr int kGuidColumn = 1;
constexpr int kTextColumn = 2;
constexpr int kAttributedBodyColumn = 8;
constexpr int kAccountGuidColumn = 13;
constexpr int kDateColumn = 15;
constexpr int kDateReadColumn = 16;
constexpr int kIsFinishedColumn = 19;
constexpr int kIsFromMeColumn = 21;
constexpr int kIsReadColumn = 26;

constexpr std::size_t kAccountGuidSize = 36;
// Header size from which a "message" record has the 51 columns of iOS 8 and later.
constexpr std::size_t kLongMessageHeaderSize = 51;
constexpr int kLongMessageColumns = 51;
constexpr int kShortMessageColumns = 38;

constexpr const char* kDeletedGuidPrefix = "27B99F78-F6F0-475F-8BA1-";

std::string GeneratedGuid(std::uint64_t rowNumber) {
  char field[64];
  std::snprintf(field, sizeof field, "\"%s%012X\",", kDeletedGuidPrefix,
                static_cast<unsigned>(rowNumber & 0xFFFFFFFFu));
  return field;
}

std::string HexField(Bytes bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string field;
  field.reserve(bytes.size() * 2 + 1);
  for (const std::uint8_t byte : bytes) {
    field += kDigits[byte >> 4];
    field += kDigits[byte & 0x0F];
  }
  field += ',';
  return field;
}

bool IsAccountGuid(std::string_view text) {
  return text.size() == kAccountGuidSize &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '-' && c <= 'z'; });
}

// Fields by column; a line writes them in ascending column order, and an
// empty field writes nothing.
using RowFields = std::vector<std::string>;

// The field of a text or blob column; false when the row is to be left out.
bool FormatBytesColumn(int column, const ColumnValue& value, bool deleted, std::string* field) {
  const std::string_view bytes(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size());
  if (column == kTextColumn && !StrictText(bytes)) return false;
  if (deleted && column == kGuidColumn) return true;  // replaced by the generated GUID
  if (deleted && column == kAccountGuidColumn && !IsAccountGuid(bytes)) return false;
  if (column == kAttributedBodyColumn) {
    *field = HexField(value.bytes);
    return true;
  }
  field->clear();
  AppendQuotedText(*field, bytes);
  *field += ',';
  return true;
}

}  // namespace

std::optional<std::string> FormatMessageRow(Bytes bytes, const RecordLayout& layout, const MessageRowContext& context) {
  const auto columns = GatherRowColumns(bytes, layout);
  if (!columns) return std::nullopt;
  const int lastColumn = columns->empty() ? layout.firstColumn : columns->back().column;
  RowFields fields(static_cast<std::size_t>(std::max(lastColumn, kIsReadColumn)) + 1);
  fields[layout.firstColumn] = std::to_string(context.rowNumber);
  bool sentFromMe = false;

  for (const RowColumn& entry : *columns) {
    const int column = entry.column;
    const ColumnValue& value = entry.value;
    const std::uint64_t type = value.serialType;
    if (type == 0) {
      if (column == 0) fields[0] += ',';
      else fields[column] = "NULL,";
    } else if (type == 13) {
      fields[column] = "NULL,";
    } else if (value.IsSmallInteger() && !value.IsConstant()) {
      fields[column] = std::to_string(value.Integer()) + ',';
    } else if (type >= 5 && type <= 7) {
      fields[column] = ",";
    } else if (value.IsConstant()) {
      fields[column] = type == 9 ? "1" : "0";
      if (column != lastColumn) fields[column] += ',';
      if (column == kIsFromMeColumn && type == 9) sentFromMe = true;
    } else if (type >= 14) {
      if (!FormatBytesColumn(column, value, context.deleted, &fields[column])) return std::nullopt;
    }
    // Serial types 10 to 12 give no field.
  }

  if (context.deleted) {
    fields[kGuidColumn] = GeneratedGuid(context.rowNumber);
    const std::string now = std::to_string(context.dumpTime) + ',';
    fields[kIsFinishedColumn] = "1,";
    fields[kDateColumn] = now;
    fields[kDateReadColumn] = sentFromMe ? "0," : now;
    fields[kIsReadColumn] = sentFromMe ? "0," : "1,";
  }

  std::string line;
  line.reserve(bytes.size() * 2);
  for (const std::string& field : fields) line += field;
  line += "\r\n";
  return line;
}

namespace {

// Writes each row the walk of "message" finds.
class MessageRowWriter : public RowVisitor {
 public:
  MessageRowWriter(SqliteReader& reader, CsvAppendFile& file, std::int64_t dumpTime)
      : m_reader(reader), m_file(file), m_dumpTime(dumpTime),
        m_counts(SchemaColumnNames(reader, kMessageTable).size()) {}

  void OnCell(const RowOrigin& origin, const CellPayload& cell) override {
    const auto layout = LiveRecordLayout(cell.bytes);
    if (!layout) return;
    if (!origin.deleted) m_counts.SeeLiveRecord(cell.bytes);
    DecoderState& state = m_reader.state;
    // As the message decoder does: the header tells the layout, and
    // numbers for deleted rows stay above every ROWID seen.
    state.messageColumns = layout->typesEnd >= kLongMessageHeaderSize ? kLongMessageColumns : kShortMessageColumns;
    state.maxMessageRowId = std::max(state.maxMessageRowId, cell.rowId);
    const std::uint64_t rowNumber = cell.rowId != 0 ? cell.rowId : ++state.maxMessageRowId;
    Write(cell.bytes, *layout, origin.deleted, rowNumber);
  }

  // Deleted rows are read with the count they were recognised with: from
  // the table's CREATE TABLE when the schema has it, else the count the
  // live rows' headers suggest.
  void OnCandidate(const RowOrigin& origin, Bytes bytes) override {
    std::size_t columns = origin.columns;
    if (m_counts.Declared() == 0 || columns == 0) {
      const int expected = m_reader.ExpectedColumns(kMessageTable);
      columns = expected > 0 ? static_cast<std::size_t>(expected) : 0;
    }
    const auto layout = CandidateRecordLayout(bytes, columns);
    if (!layout) return;
    Write(bytes, *layout, origin.deleted, ++m_reader.state.maxMessageRowId);
  }

  std::size_t CandidateColumns(SqliteReader& reader) override {
    return m_counts.Declared() > 0 ? m_counts.Declared() : RowVisitor::CandidateColumns(reader);
  }
  std::size_t FewestColumns(SqliteReader& reader) override {
    return m_counts.Declared() > 0 ? m_counts.Fewest() : CandidateColumns(reader);
  }

 private:
  void Write(Bytes bytes, const RecordLayout& layout, bool deleted, std::uint64_t rowNumber) {
    const auto line = FormatMessageRow(bytes, layout, MessageRowContext{deleted, rowNumber, m_dumpTime});
    if (line) m_file.Write(*line);
  }

  SqliteReader& m_reader;
  CsvAppendFile& m_file;
  std::int64_t m_dumpTime;
  SchemaColumnCounts m_counts;
};

}  // namespace

int DumpMessageRows(const std::string& smsPath, const std::string& csvPath, std::uint64_t highestRowId) {
  SqliteReader reader;
  if (const int rc = reader.Open(smsPath); rc != kOk) return rc;
  reader.state.maxMessageRowId = highestRowId;
  CsvAppendFile file(csvPath);
  if (file.Error() != kOk) return file.Error();
  const std::int64_t dumpTime = static_cast<std::int64_t>(std::time(nullptr)) - kAppleEpochInUnixSeconds;
  MessageRowWriter writer(reader, file, dumpTime);
  const int walked = ScanTable(reader, kMessageTable, writer);
  if (const int written = file.Close(); written != kOk) return written;
  return walked;
}

}  // namespace scrivel::sqlite_recovery
