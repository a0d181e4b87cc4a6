#include "core/sqlite/record_fit.h"

#include <string_view>

#include "core/common/utf8.h"

namespace scrivel::sqlite {

namespace {

// Whether column `column` of `shape` can hold `value` by its kind (see
// KindsFitShape); columns the shape does not declare take anything.
bool KindFits(const ColumnValue& value, const TableShape& shape, int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= shape.affinities.size()) return true;
  if (column == shape.rowIdColumn) return value.IsNull();
  const bool number = value.IsInteger() || value.IsFloat();
  switch (shape.affinities[static_cast<std::size_t>(column)]) {
    case ColumnAffinity::kText: return !number;
    case ColumnAffinity::kInteger:
    case ColumnAffinity::kReal:
    case ColumnAffinity::kNumeric: return !value.IsBlob();
    case ColumnAffinity::kBlob: return true;
  }
  return true;
}

}  // namespace

bool KindsFitShape(Bytes bytes, const RecordLayout& layout, const TableShape& shape,
                   std::size_t* valuesEnd) {
  bool fits = true;
  const bool complete = ForEachColumn(bytes, layout, [&](int column, const ColumnValue& value) {
    fits = fits && KindFits(value, shape, column);
  }, valuesEnd);
  return complete && fits;
}

// One walk over the record checks its column count, the kinds of its
// values and its texts.
bool RecordFitsShape(Bytes record, const TableShape& shape, std::size_t fewestColumns) {
  const auto layout = LiveRecordLayout(record);
  if (!layout) return false;
  std::size_t count = 0;
  bool fits = true;
  std::size_t valuesEnd = 0;
  const bool complete = ForEachColumn(record, *layout, [&](int column, const ColumnValue& value) {
    ++count;
    fits = fits && KindFits(value, shape, column);
    if (!fits || !value.IsText()) return;
    const std::string_view text = value.Text();
    fits = IsValidUtf8(text) && text.find('\0') == std::string_view::npos;
  }, &valuesEnd);
  return complete && fits && count >= fewestColumns && count <= shape.columns.size() && valuesEnd == record.size();
}

}  // namespace scrivel::sqlite
