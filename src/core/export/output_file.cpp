#include "core/export/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/common/result_codes.h"

namespace scrivel {

namespace {

// Gathered bytes are written once they reach this size.
constexpr std::size_t kWriteBlockSize = 256 * 1024;

}  // namespace

std::error_code OutputFile::Open(const std::string& path) {
  // A symbolic link planted where an output file goes is not followed.
  m_fd.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
  m_error = m_fd.IsOpen() ? std::error_code{} : LastSystemError();
  m_pending.clear();
  m_lastWritten = '\0';
  return m_error;
}

void OutputFile::Fail(std::error_code error) {
  if (!m_error) m_error = error;
}

OutputFile::~OutputFile() { (void)Close(); }

void OutputFile::WriteToFile(std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0 && !m_error) {
    const ssize_t written = ::write(m_fd.Get(), data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      Fail(written < 0 ? LastSystemError() : std::make_error_code(std::errc::no_space_on_device));
      break;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
}

void OutputFile::WritePending() {
  WriteToFile(m_pending);
  m_pending.clear();
}

void OutputFile::WriteByteOrderMark() { Write("\xEF\xBB\xBF"); }

void OutputFile::Write(std::string_view bytes) {
  if (!m_fd.IsOpen() || m_error || bytes.empty()) return;
  if (m_pending.size() + bytes.size() >= kWriteBlockSize) WritePending();
  if (bytes.size() >= kWriteBlockSize) {
    WriteToFile(bytes);  // a large piece goes out as it stands, without a copy
    return;
  }
  m_pending += bytes;
}

void OutputFile::WriteText(std::string_view text) {
  std::size_t start = 0;
  for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
    const char before = i > 0 ? text[i - 1] : m_lastWritten;
    if (before == '\r') continue;
    Write(text.substr(start, i - start));
    Write("\r\n");
    start = i + 1;
  }
  Write(text.substr(start));
  if (!text.empty()) m_lastWritten = text.back();
}

std::error_code OutputFile::Close() {
  if (m_fd.IsOpen()) {
    if (!m_error) WritePending();
    if (const std::error_code closed = m_fd.Close(); closed) Fail(closed);
  }
  m_pending.clear();
  return m_error;
}

std::error_code WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts) {
  OutputFile file;
  if (std::error_code result = file.Open(path); result) return result;
  for (std::string_view part : parts) file.Write(part);
  return file.Close();
}

std::error_code CreateFolder(const std::string& root, const std::string& folder) {
  // The root is the person's choice and may itself be a link.
  std::error_code error;
  std::filesystem::create_directories(root, error);
  if (error) return error;
  if (!std::filesystem::is_directory(root, error)) return error ? error : make_error_code(kBadFile);
  if (folder.compare(0, root.size(), root) != 0) return kBadFile;  // not below the root

  // Below it, each step is made or checked without following a link: a link
  // already there (say "Camera Roll" pointing into the backup) would carry
  // the export's files out of the export folder.
  std::string current = root;
  std::size_t start = root.size();
  while (start < folder.size()) {
    const std::size_t slash = folder.find('/', start);
    const std::size_t end = slash == std::string::npos ? folder.size() : slash;
    const std::string_view part = std::string_view(folder).substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return kBadFile;
    current += '/';
    current += part;
    if (::mkdir(current.c_str(), 0777) == 0) continue;
    if (errno != EEXIST) return LastSystemError();
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0) return LastSystemError();
    if (S_ISLNK(status.st_mode)) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    if (!S_ISDIR(status.st_mode)) return std::make_error_code(std::errc::not_a_directory);
  }
  return {};
}

}  // namespace scrivel
