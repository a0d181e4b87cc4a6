#include "core/sqlite/positioned_read.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>

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

}  // namespace scrivel::sqlite
