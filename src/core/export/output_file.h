// A file the export writes: created (or truncated) on open, closed by its
// destructor. Bytes are gathered in memory and reach the file in large
// blocks, so a page of many small pieces costs a few system calls, not one
// per piece. Errors are sticky: the first failed write is kept and returned
// by Close. Text files of the export are UTF-8 with a byte-order mark and
// CR LF line ends, as Windows editors expect them.
#pragma once

#include <system_error>

#include <cstddef>
#include <string>
#include <string_view>

#include "core/common/unique_fd.h"

namespace scrivel {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Writes what is still gathered and closes the file.
  ~OutputFile();

  // Creates or truncates `path` (its folder must exist). Returns success or the
  // system's error code.
  [[nodiscard]] std::error_code Open(const std::string& path);

  // Writes the UTF-8 byte-order mark.
  void WriteByteOrderMark();
  // Writes bytes as they are.
  void Write(std::string_view bytes);
  // Writes text with every line feed that is not already preceded by a
  // carriage return written as CR LF.
  void WriteText(std::string_view text);

  // Writes what is still gathered and closes the file. Returns success or the
  // error code of the first failure.
  [[nodiscard]] std::error_code Close();

 private:
  void WriteToFile(std::string_view bytes);
  void WritePending();
  void Fail(std::error_code error);

  UniqueFd m_fd;
  std::string m_pending;      // bytes not yet written to the file
  std::error_code m_error;    // first error; empty while all is well
  char m_lastWritten = '\0';  // last byte written by WriteText, for CR LF pairs split across calls
};

// Creates or truncates `path` and writes `parts` into it, one after the
// other. Returns success or the system's error code.
[[nodiscard]] std::error_code WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts);

// Creates `folder`, which is `root` or a folder below it (root + "/..."),
// with its missing parents. `root` may be a symbolic link to a folder; below
// it nothing is followed. Returns success; the system's error code; ELOOP
// when a folder on the way below the root is a symbolic link; ENOTDIR when
// it is something else; kBadFile when `folder` does not lie below `root`.
[[nodiscard]] std::error_code CreateFolder(const std::string& root, const std::string& folder);

}  // namespace scrivel
