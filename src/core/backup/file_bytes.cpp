#include "core/backup/file_bytes.h"

#include <limits>

#include "core/common/regular_file.h"
#include "core/common/unique_fd.h"

namespace scrivel {

FileReadError ReadFileHead(const std::filesystem::path& path, std::uint64_t maxBytes,
                           std::vector<std::uint8_t>& out) {
  out.clear();
  UniqueFd file;
  if (OpenRegularFileForReading(path.string(), file)) return FileReadError::kCannotOpen;
  if (ReadOpenFile(file, maxBytes, out)) return FileReadError::kReadFailed;
  return FileReadError::kNone;
}

FileReadError ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out) {
  return ReadFileHead(path, std::numeric_limits<std::uint64_t>::max(), out);
}

}  // namespace scrivel
