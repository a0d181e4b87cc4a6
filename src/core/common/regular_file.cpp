#include "core/common/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <new>

#include "core/common/result_codes.h"

namespace scrivel {

std::error_code OpenRegularFileForReading(const std::string& path, UniqueFd& out) {
  out.Reset();
  // The stored files of a backup lie in the backup folder or one folder
  // below it; that folder must not lead elsewhere either.
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) {
    struct stat parentStatus {};
    if (::lstat(parent.c_str(), &parentStatus) == 0 && S_ISLNK(parentStatus.st_mode)) return kBadFile;
  }
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!file.IsOpen()) return errno == ELOOP ? make_error_code(kBadFile) : LastSystemError();
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0) return LastSystemError();
  if (!S_ISREG(status.st_mode)) return kBadFile;
  // Reads of a regular file never wait; clearing the flag keeps them plain.
  const int flags = ::fcntl(file.Get(), F_GETFL);
  if (flags >= 0) (void)::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK);
  out = std::move(file);
  return {};
}

std::error_code ReadOpenFile(const UniqueFd& file, std::uint64_t maxBytes, std::vector<std::uint8_t>& out) {
  out.clear();
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0) return LastSystemError();
  // The buffer grows to the size the file has now, and past it only while
  // the file keeps growing, so a wrong or huge maximum costs nothing.
  const auto fileSize = static_cast<std::uint64_t>(status.st_size > 0 ? status.st_size : 0);
  std::uint64_t wanted = fileSize < maxBytes ? fileSize : maxBytes;
  if (wanted > std::numeric_limits<std::size_t>::max()) return std::make_error_code(std::errc::not_enough_memory);
  try {
    out.resize(static_cast<std::size_t>(wanted));
    std::size_t filled = 0;
    for (;;) {
      if (filled == out.size()) {
        if (out.size() >= maxBytes) break;
        const std::uint64_t grown = std::min<std::uint64_t>(maxBytes, out.size() + 65536);
        out.resize(static_cast<std::size_t>(grown));
      }
      const ssize_t got = ::read(file.Get(), out.data() + filled, out.size() - filled);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        const std::error_code error = LastSystemError();
        out.clear();
        return error;
      }
      if (got == 0) break;  // end of file
      filled += static_cast<std::size_t>(got);
    }
    out.resize(filled);
  } catch (const std::bad_alloc&) {
    out.clear();
    return std::make_error_code(std::errc::not_enough_memory);
  }
  return {};
}

}  // namespace scrivel
