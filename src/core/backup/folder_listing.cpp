#include "core/backup/folder_listing.h"

#include <algorithm>
#include <system_error>

namespace scrivel {

bool ListFolder(const std::filesystem::path& folder, FolderListing& out) {
  out = {};
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
    const std::filesystem::path& path = it->path();
    if (path.filename().string().starts_with('.')) continue;
    std::error_code sizeError;
    if (it->is_regular_file(sizeError)) {
      const std::uintmax_t size = it->file_size(sizeError);
      if (!sizeError) out.byteTotal += size;
    }
    out.entries.push_back(path);
  }
  if (error) {
    out = {};
    return false;
  }
  // Directory order differs between file systems; a sorted list shows the
  // same backups in the same order every time.
  std::sort(out.entries.begin(), out.entries.end());
  return true;
}

}  // namespace scrivel
