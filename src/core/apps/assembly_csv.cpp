#include "core/apps/assembly_csv.h"

#include <cerrno>

#include "core/common/result_codes.h"

namespace scrivel::apps {

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

}  // namespace scrivel::apps
