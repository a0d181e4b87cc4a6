#include "core/sqlite/positioned_read.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <utility>

#include "core/common/regular_file.h"
#include "core/common/result_codes.h"

namespace scrivel::sqlite {

long long ReadAt(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < buffer.size()) {
    const ssize_t got = ::pread(fd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long long>(done);
}

std::error_code ReadExactlyAt(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset) {
  const long long got = ReadAt(fd, buffer, offset);
  if (got < 0) return LastSystemError();
  if (static_cast<std::uint64_t>(got) < buffer.size()) return kShortRead;
  return {};
}

std::error_code OpenForReadingAt(const std::string& path, UniqueFd& out, std::uint64_t* size) {
  UniqueFd file;
  if (const std::error_code rc = OpenRegularFileForReading(path, file); rc) return rc;
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0) return LastSystemError();
  out = std::move(file);
  *size = static_cast<std::uint64_t>(status.st_size > 0 ? status.st_size : 0);
  return {};
}

}  // namespace scrivel::sqlite
