#include "core/export/output_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/common/result_codes.h"

namespace scrivel {

int OutputFile::Open(const std::string& path) {
  m_file.reset(std::fopen(path.c_str(), "wb"));
  m_error = m_file ? kOk : (errno != 0 ? errno : kBadFile);
  m_lastWritten = '\0';
  return m_error;
}

void OutputFile::Fail() {
  if (m_error == kOk) m_error = errno != 0 ? errno : kBadFile;
}

void OutputFile::WriteByteOrderMark() { Write("\xEF\xBB\xBF"); }

void OutputFile::Write(std::string_view bytes) {
  if (!m_file || m_error != kOk || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), m_file.get()) != bytes.size()) Fail();
}

void OutputFile::WriteText(std::string_view text) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    const char before = i > 0 ? text[i - 1] : m_lastWritten;
    if (before == '\r') continue;
    Write(text.substr(start, i - start));
    Write("\r\n");
    start = i + 1;
  }
  Write(text.substr(start));
  if (!text.empty()) m_lastWritten = text.back();
}

void OutputFile::Flush() {
  if (m_file && m_error == kOk && std::fflush(m_file.get()) != 0) Fail();
}

int OutputFile::Close() {
  if (m_file) {
    if (std::fclose(m_file.release()) != 0) Fail();
  }
  return m_error;
}

int WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts) {
  OutputFile file;
  if (int result = file.Open(path); result != kOk) return result;
  for (std::string_view part : parts) file.Write(part);
  return file.Close();
}

int CreateFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return error.value();
  return std::filesystem::is_directory(folder, error) ? kOk : kBadFile;
}

}  // namespace scrivel
