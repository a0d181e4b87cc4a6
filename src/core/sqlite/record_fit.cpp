#include "core/sqlite/record_fit.h"

#include <string_view>

#include "core/common/utf8.h"

namespace scrivel::sqlite {

bool KindsFitShape(Bytes bytes, const RecordLayout& layout, const TableShape& shape,
                   std::size_t* valuesEnd) {
  bool fits = true;
  const bool complete = ForEachColumn(bytes, layout, [&](int column, const ColumnValue& value) {
    if (column < 0 || static_cast<std::size_t>(column) >= shape.affinities.size()) return;
    if (column == shape.rowIdColumn) {
      fits = fits && value.IsNull();
      return;
    }
    const bool number = value.IsInteger() || value.IsFloat();
    switch (shape.affinities[column]) {
      case ColumnAffinity::kText: fits = fits && !number; break;
      case ColumnAffinity::kInteger:
      case ColumnAffinity::kReal:
      case ColumnAffinity::kNumeric: fits = fits && !value.IsBlob(); break;
      case ColumnAffinity::kBlob: break;
    }
  }, valuesEnd);
  return complete && fits;
}


bool RecordFitsShape(Bytes record, const TableShape& shape, std::size_t fewestColumns) {
  const auto layout = LiveRecordLayout(record);
  if (!layout) return false;
  const auto count = CountSerialTypes(record);
  if (!count || *count < fewestColumns || *count > shape.columns.size()) return false;
  bool textsClean = true;
  std::size_t valuesEnd = 0;
  const bool kindsFit = KindsFitShape(record, *layout, shape, &valuesEnd);
  if (!kindsFit || valuesEnd != record.size()) return false;
  ForEachColumn(record, *layout, [&](int, const ColumnValue& value) {
    if (!value.IsText()) return;
    const std::string_view text = value.Text();
    textsClean = textsClean && IsValidUtf8(text) && text.find('\0') == std::string_view::npos;
  });
  return textsClean;
}

}  // namespace scrivel::sqlite
