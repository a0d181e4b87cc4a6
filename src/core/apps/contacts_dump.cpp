#include "core/apps/contacts_dump.h"

#include <algorithm>
#include <vector>

#include "core/common/csv_quote.h"
#include "core/common/result_codes.h"
#include "core/apps/assembly_row_columns.h"
#include "core/apps/raw_row_dump.h"
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

std::error_code DumpContactRows(const std::string& addressBookPath, const std::string& csvPath, std::uint64_t highestRowId) {
  return DumpRawRows(addressBookPath, kContactTable, csvPath, highestRowId, FormatContactRow);
}

}  // namespace scrivel::apps
