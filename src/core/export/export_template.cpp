#include "core/export/export_template.h"

#include <fstream>
#include <sstream>

#include "core/common/result_codes.h"

namespace scrivel {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  if (from.empty()) return std::string(text);
  std::size_t start = 0;
  for (std::size_t found = text.find(from); found != std::string_view::npos; found = text.find(from, start)) {
    out.append(text.substr(start, found - start));
    out.append(to);
    start = found + from.size();
  }
  out.append(text.substr(start));
  return out;
}

std::error_code LoadExportTemplate(const std::string& path, std::string_view titleHtml, ExportTemplate* out) {
  *out = ExportTemplate{};
  std::ifstream file(path, std::ios::binary);
  if (!file) return kBadFile;
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) return kBadFile;
  std::string raw = content.str();
  const std::size_t placeholder = raw.find(kContentPlaceholder);
  if (placeholder == std::string::npos) return kBadFile;
  out->head = ReplaceAll(std::string_view(raw).substr(0, placeholder), kTitlePlaceholder, titleHtml);
  out->tail = raw.substr(placeholder + kContentPlaceholder.size());
  out->raw = std::move(raw);
  return {};
}

}  // namespace scrivel
