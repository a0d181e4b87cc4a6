#include "core/export/csv_field.h"

#include "core/common/csv_quote.h"
#include "core/common/readable_text.h"

namespace scrivel {

std::string CsvField(std::string_view text) {
  std::string field;
  AppendQuotedCsvField(field, ReadableText(text));
  return field;
}

}  // namespace scrivel
