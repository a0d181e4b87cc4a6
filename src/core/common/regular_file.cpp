#include "core/common/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

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

}  // namespace scrivel
