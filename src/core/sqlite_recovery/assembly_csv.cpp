#include "core/sqlite_recovery/assembly_csv.h"

#include <algorithm>
#include <cerrno>

#include "core/common/result_codes.h"

namespace scrivel::sqlite_recovery {

CsvAppendFile::CsvAppendFile(const std::string& path) : m_file(std::fopen(path.c_str(), "ab")) {
  if (!m_file) m_error = LastSystemError();
}

void CsvAppendFile::Write(std::string_view line) {
  if (!m_file || m_error) return;
  if (std::fwrite(line.data(), 1, line.size(), m_file.get()) != line.size()) m_error = LastSystemError();
}

std::error_code CsvAppendFile::Close() {
  if (m_file) {
    std::FILE* file = m_file.release();
    if (std::fclose(file) != 0 && !m_error) m_error = LastSystemError();
  }
  return m_error;
}

void AppendQuotedText(std::string& field, std::string_view bytes) {
  field += '"';
  // Runs without quotes are copied in one piece; a quote ends its run and
  // is written twice.
  const auto isQuote = [](char c) { return c == '"' || c == '\''; };
  auto runStart = bytes.begin();
  for (auto quote = std::find_if(runStart, bytes.end(), isQuote); quote != bytes.end();
       quote = std::find_if(runStart, bytes.end(), isQuote)) {
    field.append(runStart, quote + 1);
    field += *quote;
    runStart = quote + 1;
  }
  field.append(runStart, bytes.end());
  field += '"';
}

}  // namespace scrivel::sqlite_recovery
