// A file the export writes: created (or truncated) on open, closed by its
// destructor. Errors are sticky: the first failed write is kept and
// returned by Close. Text files of the export are UTF-8 with a byte-order
// mark and CR LF line ends, as Windows editors expect them.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace scrivel {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates or truncates `path` (its folder must exist). Returns kOk or the
  // system's error code.
  [[nodiscard]] int Open(const std::string& path);

  // Writes the UTF-8 byte-order mark.
  void WriteByteOrderMark();
  // Writes bytes as they are.
  void Write(std::string_view bytes);
  // Writes text with every line feed that is not already preceded by a
  // carriage return written as CR LF.
  void WriteText(std::string_view text);
  // Pushes buffered bytes to the file.
  void Flush();

  // Closes the file. Returns kOk or the error code of the first failure.
  [[nodiscard]] int Close();

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  void Fail();

  std::unique_ptr<std::FILE, FileCloser> m_file;
  int m_error = 0;           // first error; 0 while all is well
  char m_lastWritten = '\0'; // last byte written by WriteText, for CR LF pairs split across calls
};

// Creates or truncates `path` and writes `parts` into it, one after the
// other. Returns kOk or the system's error code.
[[nodiscard]] int WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts);

// Creates `folder` with its missing parents. Returns kOk or the system's
// error code.
[[nodiscard]] int CreateFolder(const std::string& folder);

}  // namespace scrivel
