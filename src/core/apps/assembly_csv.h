// The output file shared by the two raw row files, "sms.csv"
// (messages_dump.h) and "Contacts.csv" (contacts_dump.h), to which rows are
// appended in the order the recovery engine gives them (raw_row_dump.h).
// Their text fields are quoted by core/common/csv_quote.h.
#pragma once

#include <system_error>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace scrivel::apps {

// A file opened for appending (never truncated: rows go after what the
// file already holds).
class CsvAppendFile {
 public:
  // Opens `path`; Error() tells whether that worked.
  explicit CsvAppendFile(const std::string& path);
  CsvAppendFile(const CsvAppendFile&) = delete;
  CsvAppendFile& operator=(const CsvAppendFile&) = delete;

  // Appends `line` as it is. A failed write is remembered in Error().
  void Write(std::string_view line);
  // Flushes and closes the file; returns Error() afterwards.
  [[nodiscard]] std::error_code Close();

  // success, or the errno of the first open, write or close that failed.
  [[nodiscard]] std::error_code Error() const { return m_error; }

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, FileCloser> m_file;
  std::error_code m_error;
};

}  // namespace scrivel::apps
