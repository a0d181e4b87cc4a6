#include "core/export/export_error_text.h"

#include <cctype>

namespace scrivel {

std::string ExportErrorText(const std::error_code& error) {
  std::string text = error.message();
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace scrivel
