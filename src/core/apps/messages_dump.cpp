#include "core/apps/messages_dump.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <vector>

#include "core/common/csv_quote.h"
#include "core/common/result_codes.h"
#include "core/apps/assembly_row_columns.h"
#include "core/apps/local_date.h"
#include "core/apps/message_text.h"
#include "core/apps/raw_row_dump.h"
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

// Whether column 1 holds a whole GUID.
bool HasMessageGuid(const std::vector<RowColumn>& columns) {
  return std::any_of(columns.begin(), columns.end(), [](const RowColumn& entry) {
    return entry.column == kGuidColumn && entry.value.IsText() && IsMessageGuid(entry.value.Text());
  });
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
  if (context.deleted && !HasMessageGuid(*columns)) return std::nullopt;
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

std::error_code DumpMessageRows(const std::string& smsPath, const std::string& csvPath, std::uint64_t highestRowId) {
  const std::int64_t dumpTime = static_cast<std::int64_t>(std::time(nullptr)) - kAppleEpochInUnixSeconds;
  return DumpRawRows(smsPath, kMessageTable, csvPath, highestRowId,
                     [dumpTime](sqlite::Bytes record, const sqlite::RecordLayout& layout, std::uint64_t rowNumber, bool deleted) {
                       return FormatMessageRow(record, layout, MessageRowContext{deleted, rowNumber, dumpTime});
                     });
}

}  // namespace scrivel::apps
