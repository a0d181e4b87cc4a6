#include "core/backup/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <new>

namespace scrivel {
namespace {

// Owns a file descriptor opened read-only.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::filesystem::path& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~ReadOnlyFile() {
    if (m_fd >= 0) ::close(m_fd);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool IsOpen() const { return m_fd >= 0; }
  int Descriptor() const { return m_fd; }

 private:
  int m_fd;
};

// Reads up to out.size() bytes; shrinks `out` to what the file held.
bool ReadInto(int fd, std::vector<std::uint8_t>& out) {
  std::size_t filled = 0;
  while (filled < out.size()) {
    const ssize_t got = ::read(fd, out.data() + filled, out.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;  // end of file: the file shrank or was shorter
    filled += static_cast<std::size_t>(got);
  }
  out.resize(filled);
  return true;
}

}  // namespace

FileReadError ReadFileHead(const std::filesystem::path& path, std::uint64_t maxBytes,
                           std::vector<std::uint8_t>& out) {
  out.clear();
  ReadOnlyFile file(path);
  if (!file.IsOpen()) return FileReadError::kCannotOpen;
  struct stat status {};
  if (::fstat(file.Descriptor(), &status) != 0) return FileReadError::kReadFailed;
  // A folder opens read-only on this platform, but it is not a file.
  if (!S_ISREG(status.st_mode)) return FileReadError::kCannotOpen;
  const auto fileSize = static_cast<std::uint64_t>(status.st_size);
  const std::uint64_t wanted = fileSize < maxBytes ? fileSize : maxBytes;
  if (wanted > std::numeric_limits<std::size_t>::max()) return FileReadError::kReadFailed;
  try {
    out.resize(static_cast<std::size_t>(wanted));
  } catch (const std::bad_alloc&) {
    return FileReadError::kReadFailed;
  }
  if (!ReadInto(file.Descriptor(), out)) {
    out.clear();
    return FileReadError::kReadFailed;
  }
  return FileReadError::kNone;
}

FileReadError ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out) {
  return ReadFileHead(path, std::numeric_limits<std::uint64_t>::max(), out);
}

}  // namespace scrivel
