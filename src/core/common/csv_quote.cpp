#include "core/common/csv_quote.h"

namespace scrivel {

bool StartsLikeFormula(std::string_view text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

void AppendQuotedCsvField(std::string& out, std::string_view text) {
  out += '"';
  if (StartsLikeFormula(text)) out += '\'';
  // Runs without a double quote are copied in one piece; a quote ends its
  // run and is written twice.
  for (std::size_t quote = text.find('"'); quote != std::string_view::npos; quote = text.find('"')) {
    out.append(text.substr(0, quote + 1));
    out += '"';
    text.remove_prefix(quote + 1);
  }
  out.append(text);
  out += '"';
}

}  // namespace scrivel
