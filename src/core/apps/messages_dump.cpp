#include "core/apps/messages_dump.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <vector>

#include "core/common/csv_quote.h"
#include "core/common/result_codes.h"
#include "core/apps/assembly_csv.h"
#include "core/apps/assembly_row_columns.h"
#include "core/sqlite/column_resolution.h"
#include "core/apps/local_date.h"
#include "core/sqlite/sqlite_reader.h"
#include "core/sqlite/table_scan.h"
#include "core/sqlite/utf8_text.h"

namespace scrivel::apps {

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

void AppendGeneratedGuid(std::string& line, std::uint64_t rowNumber) {
  char field[64];
  const int length = std::snprintf(field, sizeof field, "\"%s%012X\",", kDeletedGuidPrefix,
                                   static_cast<unsigned>(rowNumber & 0xFFFFFFFFu));
  line.append(field, static_cast<std::size_t>(length));
}

template <typename Integer>
void AppendNumber(std::string& line, Integer value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  line.append(digits, end);
}

void AppendHex(std::string& line, sqlite::Bytes bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::size_t at = line.size();
  line.resize(at + bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    line[at++] = kDigits[byte >> 4];
    line[at++] = kDigits[byte & 0x0F];
  }
}

bool IsAccountGuid(std::string_view text) {
  return text.size() == kAccountGuidSize &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '-' && c <= 'z'; });
}

// Whether column 21 (is_from_me) holds the constant 1.
bool IsSentFromMe(const std::vector<RowColumn>& columns) {
  return std::any_of(columns.begin(), columns.end(), [](const RowColumn& entry) {
    return entry.column == kIsFromMeColumn && entry.value.serialType == 9;
  });
}

// Appends the value a deleted row gets in `column` in place of the stored
// one, so that the row reads as re-inserted now; false, appending nothing,
// for the columns it keeps.
bool AppendReinsertValue(std::string& line, int column, const MessageRowContext& context, bool sentFromMe) {
  switch (column) {
    case kGuidColumn:
      AppendGeneratedGuid(line, context.rowNumber);
      return true;
    case kIsFinishedColumn:
      line += "1,";
      return true;
    case kDateColumn:
      AppendNumber(line, context.dumpTime);
      line += ',';
      return true;
    case kDateReadColumn:
      if (sentFromMe) {
        line += "0,";
      } else {
        AppendNumber(line, context.dumpTime);
        line += ',';
      }
      return true;
    case kIsReadColumn:
      line += sentFromMe ? "0," : "1,";
      return true;
    default:
      return false;
  }
}

// How the field of a stored value relates to what the line already holds
// for its column (the row number, in the first column).
enum class FieldEdit { kReplace, kAppendComma, kKeep, kLeaveRowOut };

// The edit one stored value makes to its column's field. Only for kReplace
// is anything appended to `field`: the new field.
FieldEdit FormatValue(const RowColumn& entry, int lastColumn, bool deleted, std::string& field) {
  const int column = entry.column;
  const sqlite::ColumnValue& value = entry.value;
  const std::uint64_t type = value.serialType;
  if (type == 0) {
    if (column == 0) return FieldEdit::kAppendComma;
    field += "NULL,";
  } else if (type == 13) {
    field += "NULL,";
  } else if (value.IsSmallInteger() && !value.IsConstant()) {
    AppendNumber(field, value.Integer());
    field += ',';
  } else if (type >= 5 && type <= 7) {
    field += ',';
  } else if (value.IsConstant()) {
    field += type == 9 ? '1' : '0';
    if (column != lastColumn) field += ',';
  } else if (type >= 14) {
    const std::string_view bytes(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size());
    if (deleted && column == kTextColumn && !sqlite::StrictText(bytes)) return FieldEdit::kLeaveRowOut;
    if (deleted && column == kGuidColumn) return FieldEdit::kKeep;  // replaced by the generated GUID
    if (deleted && column == kAccountGuidColumn && !IsAccountGuid(bytes)) return FieldEdit::kLeaveRowOut;
    if (column == kAttributedBodyColumn) AppendHex(field, value.bytes);
    else AppendQuotedCsvField(field, bytes);
    field += ',';
  } else {
    return FieldEdit::kKeep;  // serial types 10 to 12 give no field
  }
  return FieldEdit::kReplace;
}

}  // namespace

// The line is built field by field in ascending column order. The first
// column's field starts as the row number; a stored value then replaces
// its column's field, adds the comma of a NULL primary key, or keeps it;
// a deleted row's re-insert values replace their columns' fields last.
std::optional<std::string> FormatMessageRow(sqlite::Bytes bytes, const sqlite::RecordLayout& layout, const MessageRowContext& context) {
  const auto columns = GatherRowColumns(bytes, layout);
  if (!columns) return std::nullopt;
  const int lastColumn = columns->empty() ? layout.firstColumn : columns->back().column;
  const int fieldCount = std::max(lastColumn, kIsReadColumn) + 1;
  const bool sentFromMe = context.deleted && IsSentFromMe(*columns);

  std::string line;
  line.reserve(bytes.size() * 2);
  auto stored = columns->begin();
  for (int column = 0; column < fieldCount; ++column) {
    const std::size_t fieldStart = line.size();
    if (column == layout.firstColumn) AppendNumber(line, context.rowNumber);
    if (stored != columns->end() && stored->column == column) {
      const std::size_t valueStart = line.size();
      switch (FormatValue(*stored, lastColumn, context.deleted, line)) {
        case FieldEdit::kReplace:
          line.erase(fieldStart, valueStart - fieldStart);
          break;
        case FieldEdit::kAppendComma:
          line += ',';
          break;
        case FieldEdit::kKeep:
          break;
        case FieldEdit::kLeaveRowOut:
          return std::nullopt;
      }
      ++stored;
    }
    const std::size_t reinsertStart = line.size();
    if (context.deleted && AppendReinsertValue(line, column, context, sentFromMe))
      line.erase(fieldStart, reinsertStart - fieldStart);
  }
  line += "\r\n";
  return line;
}

namespace {

// Writes each row the walk of "message" finds.
class MessageRowWriter : public sqlite::RowVisitor {
 public:
  MessageRowWriter(sqlite::SqliteReader& reader, CsvAppendFile& file, std::int64_t dumpTime)
      : m_reader(reader), m_file(file), m_dumpTime(dumpTime),
        m_counts(sqlite::SchemaColumnNames(reader, kMessageTable).size()) {}

  void OnCell(const sqlite::RowOrigin& origin, const sqlite::CellPayload& cell) override {
    const auto layout = sqlite::LiveRecordLayout(cell.bytes);
    if (!layout) return;
    if (!origin.deleted) m_counts.SeeLiveRecord(cell.bytes);
    sqlite::DecoderState& state = m_reader.state;
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
  void OnCandidate(const sqlite::RowOrigin& origin, sqlite::Bytes bytes) override {
    std::size_t columns = origin.columns;
    if (m_counts.Declared() == 0 || columns == 0) {
      const int expected = m_reader.ExpectedColumns(kMessageTable);
      columns = expected > 0 ? static_cast<std::size_t>(expected) : 0;
    }
    const auto layout = sqlite::CandidateRecordLayout(bytes, columns);
    if (!layout) return;
    Write(bytes, *layout, origin.deleted, ++m_reader.state.maxMessageRowId);
  }

  std::size_t CandidateColumns(sqlite::SqliteReader& reader) override {
    return m_counts.Declared() > 0 ? m_counts.Declared() : sqlite::RowVisitor::CandidateColumns(reader);
  }
  std::size_t FewestColumns(sqlite::SqliteReader& reader) override {
    return m_counts.Declared() > 0 ? m_counts.Fewest() : CandidateColumns(reader);
  }

 private:
  void Write(sqlite::Bytes bytes, const sqlite::RecordLayout& layout, bool deleted, std::uint64_t rowNumber) {
    const auto line = FormatMessageRow(bytes, layout, MessageRowContext{deleted, rowNumber, m_dumpTime});
    if (line) m_file.Write(*line);
  }

  sqlite::SqliteReader& m_reader;
  CsvAppendFile& m_file;
  std::int64_t m_dumpTime;
  sqlite::SchemaColumnCounts m_counts;
};

}  // namespace

std::error_code DumpMessageRows(const std::string& smsPath, const std::string& csvPath, std::uint64_t highestRowId) {
  sqlite::SqliteReader reader;
  if (const std::error_code rc = reader.Open(smsPath); rc) return rc;
  reader.state.maxMessageRowId = highestRowId;
  CsvAppendFile file(csvPath);
  if (file.Error()) return file.Error();
  const std::int64_t dumpTime = static_cast<std::int64_t>(std::time(nullptr)) - kAppleEpochInUnixSeconds;
  MessageRowWriter writer(reader, file, dumpTime);
  const std::error_code walked = sqlite::ScanTable(reader, kMessageTable, writer);
  if (const std::error_code written = file.Close(); written) return written;
  return walked;
}

}  // namespace scrivel::apps
