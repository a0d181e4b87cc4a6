#include "core/export/export_error_text.h"

#include <cctype>

namespace scrivel {

std::string ExportErrorText(const std::error_code& error) {
  // Output files and folders are never opened through a link (O_NOFOLLOW,
  // CreateFolder), which the system reports as a loop of links.
  if (error == std::errc::too_many_symbolic_link_levels) {
    return "A symbolic link stands at this path; the export never writes through one";
  }
  std::string text = error.message();
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace scrivel
